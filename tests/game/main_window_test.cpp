// The real program started the way users start it, from another working directory.

#include <fcntl.h>     // Required for: open()
#include <signal.h>    // Required for: kill()
#include <sys/wait.h>  // Required for: waitpid()
#include <unistd.h>    // Required for: fork(), execl(), dup2(), chdir()

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/scratch_dir.h"

namespace fs = std::filesystem;
using Kelvane_Test::Read_File;
using Kelvane_Test::Scratch_Dir;

namespace {

// The first start cooks every object's caches on a software rasterizer.
const auto START_TIMEOUT = std::chrono::minutes(4);
const char* const LOOPING = "--> Timer Started and Delta Reset";
const char* const NO_WINDOW = "--> The 640x480 fallback display couldn't be created either.";

// Starts `program` in `directory`, its standard error going to `errors`.
pid_t Start(const fs::path& program, const fs::path& directory, const fs::path& errors) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    int error_file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(directory.c_str()) != 0 || error_file < 0 || dup2(error_file, STDERR_FILENO) < 0) _exit(127);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// Runs the program until its log says the loop runs (then stops it) or it ends;
// the log's text. Retried once when the X server refused the program's connection.
std::string Run_Until_Looping(const fs::path& program, const fs::path& directory, const fs::path& errors) {
    fs::path log = program.parent_path() / "game.log";
    for (int attempt = 0; attempt < 2; attempt++) {
        fs::remove(log);
        pid_t pid = Start(program, directory, errors);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + START_TIMEOUT;
        while (Read_File(log).find(LOOPING) == std::string::npos && std::chrono::steady_clock::now() < deadline &&
               waitpid(pid, &status, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (kill(pid, SIGTERM) == 0) waitpid(pid, &status, 0);
        if (Read_File(log).find(NO_WINDOW) == std::string::npos) break;
    }
    return Read_File(log);
}

}  // namespace

TEST(Program, Started_Elsewhere_It_Runs_In_Its_Own_Folder_And_Keeps_Its_Files_There) {
    Scratch_Dir elsewhere;
    fs::path stage = elsewhere.Previous();
    fs::path installed = fs::path(elsewhere.Path()) / "installed";
    fs::create_directory(installed);
    for (const char* item : {"kelvane", "assets", "b1.png", "b2.png"})
        fs::copy(stage / item, installed / item, fs::copy_options::recursive);
    Kelvane_Test::Write_File(installed / "game_config.ini", "[Display]\nMode=1\nWidth=320\nHeight=240\n");

    std::string log = Run_Until_Looping(installed / "kelvane", elsewhere.Path(), installed / "errors.txt");
    EXPECT_NE(log.find(LOOPING), std::string::npos) << log << Read_File(installed / "errors.txt");
    EXPECT_NE(log.find("--> No assets folder in " + elsewhere.Path() + ": running in the program's folder " +
                       installed.string() + ".\n"),
              std::string::npos)
        << log;
    EXPECT_NE(Read_File(installed / "game_config.ini").find("[Game]"), std::string::npos) << "saved beside it";
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.Path()), fs::directory_iterator()), 1)
        << "nothing written where it was started";
}
