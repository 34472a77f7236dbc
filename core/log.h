#pragma once
// The progress and error log: one two-line, time-stamped entry per message,
// flushed at once so the file is complete even after an abrupt end.

#include <fstream>
#include <string>

namespace Kelvane {

class Log {
public:
    // Empties an existing file: every run starts a fresh log.
    explicit Log(std::string path);
    ~Log();

    // Appends the ctime() line, then "--> " and the message; a no-op when the
    // file could not be opened.
    void Write(std::string message);

private:
    std::ofstream file;
    std::string path;
};

}  // namespace Kelvane
