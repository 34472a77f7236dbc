#pragma once
// A fresh temporary folder made the working directory for one test; the old
// working directory comes back and the folder is removed at the end.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

// While it lives, no file of this process grows beyond `bytes`: writes past
// that fail as they do on a full disk.
class File_Size_Limit {
public:
    explicit File_Size_Limit(unsigned long bytes);
    ~File_Size_Limit();
    File_Size_Limit(const File_Size_Limit&) = delete;
    File_Size_Limit& operator=(const File_Size_Limit&) = delete;

private:
    unsigned long previous;
    void (*previous_handler)(int);
};

// The names in a folder, sorted.
std::vector<std::string> Folder_Entries(const std::string& path);

// The whole content of a text file, or "" when it cannot be read.
std::string Read_File(const std::string& path);
// Writes a text file, creating or replacing it.
void Write_File(const std::string& path, const std::string& text);

// What `run` printed to standard output.
inline std::string Printed(const std::function<void()>& run) {
    testing::internal::CaptureStdout();
    run();
    return testing::internal::GetCapturedStdout();
}

}  // namespace Kelvane_Test
