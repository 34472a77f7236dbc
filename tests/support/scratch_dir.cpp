#include "support/scratch_dir.h"

#include <sys/resource.h>  // Required for: setrlimit(), to make writes fail as on a full disk
#include <unistd.h>        // Required for: getcwd(), chdir()

#include <algorithm>
#include <csignal>  // Required for: signal(), so that a write past the limit fails instead of ending the process
#include <cstdlib>  // Required for: mkdtemp()
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace Kelvane_Test {

Scratch_Dir::Scratch_Dir() {
    previous = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path = pattern;
    std::filesystem::current_path(path);
}

Scratch_Dir::~Scratch_Dir() {
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path, ignored);
}

File_Size_Limit::File_Size_Limit(unsigned long bytes) {
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    previous = limit.rlim_cur;
    limit.rlim_cur = bytes;
    previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("cannot limit the file size");
}

File_Size_Limit::~File_Size_Limit() {
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = previous;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous_handler);
}

std::vector<std::string> Folder_Entries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Read_File(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void Write_File(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    file << text;
}

}  // namespace Kelvane_Test
