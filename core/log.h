#pragma once
// The progress and error log: one two-line, time-stamped entry per message,
// flushed at once so the file is complete even after an abrupt end.

#include <fstream>
#include <string>

namespace Kelvane {

class Log {
public:
    // Empties an existing file: every run starts a fresh log. A file that
    // cannot be opened is reported on standard error, where the entries then go.
    explicit Log(std::string path);
    ~Log();

    // Appends the ctime() line, then "--> " and the message.
    void Write(std::string message);
    // False when the entries go to standard error instead of the file.
    bool Is_Open() { return file.is_open(); }

private:
    std::ofstream file;
    std::string path;
};

}  // namespace Kelvane
