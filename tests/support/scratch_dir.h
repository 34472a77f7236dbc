#pragma once
// Files for the tests: a scratch working directory, a full disk, reading and writing text.

#include <gtest/gtest.h>
#include <sys/resource.h>  // Required for: setrlimit(), to make writes fail as on a full disk

#include <algorithm>
#include <csignal>  // Required for: signal(), so that a write past the limit fails instead of ending the process
#include <cstdlib>  // Required for: mkdtemp()
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kelvane_Test {

// A fresh temporary folder made the working directory for one test; the old
// working directory comes back and the folder is removed at the end.
class Scratch_Dir {
public:
    Scratch_Dir() : previous(std::filesystem::current_path().string()) {
        path = (std::filesystem::temp_directory_path() / "kelvane-test-XXXXXX").string();
        if (!mkdtemp(path.data())) throw std::runtime_error("cannot make a scratch folder");
        std::filesystem::current_path(path);
    }
    ~Scratch_Dir() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    Scratch_Dir(const Scratch_Dir&) = delete;
    Scratch_Dir& operator=(const Scratch_Dir&) = delete;

    std::string Path() const { return path; }
    // The folder the test program started in (the staged run directory).
    std::string Previous() const { return previous; }

private:
    std::string previous;
    std::string path;
};

// While it lives, no file of this process grows beyond `bytes`: writes past
// that fail as they do on a full disk.
class File_Size_Limit {
public:
    explicit File_Size_Limit(rlim_t bytes) : previous_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("cannot limit the file size");
    }
    ~File_Size_Limit() {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previous_handler);
    }
    File_Size_Limit(const File_Size_Limit&) = delete;
    File_Size_Limit& operator=(const File_Size_Limit&) = delete;

private:
    void (*previous_handler)(int);
    rlimit previous;
};

// The names in a folder, sorted.
inline std::vector<std::string> Folder_Entries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The whole content of a text file, or "" when it cannot be read.
inline std::string Read_File(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Writes a text file, creating or replacing it.
inline void Write_File(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The messages of a log written after its first `from` bytes that start with `prefix`, without their time stamps.
inline std::vector<std::string> Log_Messages(size_t from = 0, const std::string& prefix = "",
                                             const std::string& path = "game.log") {
    std::istringstream log(Read_File(path).substr(from));
    std::vector<std::string> messages;
    for (std::string line; std::getline(log, line);)
        if (line.rfind("--> " + prefix, 0) == 0) messages.push_back(line.substr(4));
    return messages;
}

// What `run` printed to standard output.
inline std::string Printed(const std::function<void()>& run) {
    testing::internal::CaptureStdout();
    run();
    return testing::internal::GetCapturedStdout();
}

}  // namespace Kelvane_Test
