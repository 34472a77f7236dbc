#include "core/log.h"

#include <ctime>     // Required for: time(), ctime()
#include <iostream>  // Required for: std::cerr, where entries go without a file

namespace Kelvane {

Log::Log(std::string path) : path(path) {
    file.open(path, std::ios::out);
    if (!file.is_open())
        std::cerr << "The log file " << path << " couldn't be opened; its messages follow here.\n";
}

Log::~Log() {
    file.close();
}

void Log::Write(std::string message) {
    std::ostream& out = file.is_open() ? static_cast<std::ostream&>(file) : std::cerr;
    std::time_t now = std::time(nullptr);
    out << std::ctime(&now) << "--> " << message << "\n";
    out.flush();
}

}  // namespace Kelvane
