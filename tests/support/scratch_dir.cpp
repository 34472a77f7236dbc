#include "support/scratch_dir.h"

#include <unistd.h>  // Required for: getcwd(), chdir()

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
