#include "core/log.h"

#include <ctime>  // Required for: time(), ctime()

namespace Kelvane {

Log::Log(std::string path) : path(path) {
    file.open(path, std::ios::out);
}

Log::~Log() {
    file.close();
}

void Log::Write(std::string message) {
    if (!file.is_open()) return;
    std::time_t now = std::time(nullptr);
    file << std::ctime(&now) << "--> " << message << "\n";
    file.flush();
}

}  // namespace Kelvane
