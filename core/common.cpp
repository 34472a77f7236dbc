#include "core/common.h"

#include <allegro5/allegro.h>  // Required for: al_filename_exists(), al_fopen_fd()

#include <fcntl.h>     // Required for: open(), to hold the descriptor that fsync() needs
#include <sys/stat.h>  // Required for: stat(), fchmod(), to keep a replaced file's permissions
#include <unistd.h>    // Required for: fsync(), getpid(), access()

#include <cstdio>      // Required for: fprintf(), rename(), remove()
#include <cstdlib>     // Required for: abort(), strtol()
#include <filesystem>  // Required for: following a symbolic link before replacing its file
#include <locale>

namespace Kelvane {

namespace {

const std::string TEMPORARY_SUFFIX = ".tmp";

// Writes and flushes to the disk, with the permissions given (none: the
// defaults for a new file); the file is closed whatever happens.
bool Write_Durably(const std::string& path, const struct stat* permissions,
                   const std::function<bool(ALLEGRO_FILE*)>& write) {
    int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) return false;
    if (permissions) fchmod(descriptor, permissions->st_mode & 07777);
    ALLEGRO_FILE* file = al_fopen_fd(descriptor, "wb");
    if (!file) {
        close(descriptor);
        return false;
    }
    bool written = write(file) && al_fflush(file) && fsync(descriptor) == 0;
    return al_fclose(file) && written;
}

}  // namespace

bool File_Exists(std::string path) {
    return al_filename_exists(path.c_str());
}

std::string Object_Folder(std::string name) {
    return OBJECTS_FOLDER + name + "/";
}

std::string Clip_Section(const std::string& name) { return CLIP_SECTION_PREFIX + name; }

bool Is_Plain_Name(std::string name) {
    // Both separators: files are shared between systems.
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

// A link is followed one step, so that replacing the file keeps the user's
// link (and a link into a missing folder fails rather than being replaced).
std::string Write_Target(std::string path) {
    std::error_code error;
    std::filesystem::path link(path);
    if (!std::filesystem::is_symlink(link, error)) return path;
    std::filesystem::path target = std::filesystem::read_symlink(link, error);
    if (error) return path;
    return (target.is_absolute() ? target : link.parent_path() / target).string();
}

// The process id keeps two instances writing the same file apart.
std::string Temporary_File_Of(std::string path, int pid) {
    return path + "." + ToString(pid) + TEMPORARY_SUFFIX;
}

int Temporary_File_Owner(std::string path, std::string file) {
    std::string prefix = path + ".";
    if (file.rfind(prefix, 0) != 0) return 0;
    const char* digits = file.c_str() + prefix.size();
    if (*digits < '1' || *digits > '9') return 0;  // no sign, space or leading zero
    long pid = std::strtol(digits, nullptr, 10);
    // Only the exact name Temporary_File_Of gives, of a pid a process can have.
    if (pid <= 0 || pid > 2147483647L) return 0;
    return Temporary_File_Of(path, static_cast<int>(pid)) == file ? static_cast<int>(pid) : 0;
}

bool Write_File_Whole(std::string path, const std::function<bool(ALLEGRO_FILE*)>& write) {
    std::string target = Write_Target(path);
    struct stat existing;
    bool exists = stat(target.c_str(), &existing) == 0;
    // A file made read-only stays as it is, as it would for a write in place.
    if (exists && access(target.c_str(), W_OK) != 0) return false;
    std::string temporary = Temporary_File_Of(target, getpid());
    if (Write_Durably(temporary, exists ? &existing : nullptr, write) &&
        std::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    std::remove(temporary.c_str());
    return false;
}

void Assertion_Failed(const char* expression, const char* file, int line, const char* message) {
    std::fprintf(stderr, "%s:%d: assertion \"%s\" failed: %s\n", file, line, expression, message);
    std::abort();
}

}  // namespace Kelvane

float ToFloat(std::string text) {
    float value = 0.0f;
    return Read_Float(text, value) ? value : 0.0f;
}

bool Read_Float(std::string text, float& value) {
    std::istringstream stream(text, std::ios::in);
    stream.imbue(std::locale::classic());
    float read = 0.0f;
    if (!(stream >> read)) return false;
    value = read;
    return true;
}

int Wrapped(int value, int count) {
    int remainder = value % count;
    return remainder < 0 ? remainder + count : remainder;
}

int Truncate_To_Int(float value) {
    if (value != value) return 0;
    if (value >= 2147483647.0f) return 2147483647;
    if (value <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(value);
}
