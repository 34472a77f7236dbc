#pragma once
// A fresh temporary folder made the working directory for one test; the old
// working directory comes back and the folder is removed at the end.

#include <string>

namespace Kelvane_Test {

class Scratch_Dir {
public:
    Scratch_Dir();
    ~Scratch_Dir();
    Scratch_Dir(const Scratch_Dir&) = delete;
    Scratch_Dir& operator=(const Scratch_Dir&) = delete;

    std::string Path() const { return path; }
    // The folder the test program started in (the staged run directory).
    std::string Previous() const { return previous; }

private:
    std::string path;
    std::string previous;
};

// The whole content of a text file, or "" when it cannot be read.
std::string Read_File(const std::string& path);
// Writes a text file, creating or replacing it.
void Write_File(const std::string& path, const std::string& text);

}  // namespace Kelvane_Test
