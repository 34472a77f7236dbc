#include "core/log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sstream>
#include <vector>

#include "support/scratch_dir.h"

using Kelvane::Log;
using Kelvane_Test::Read_File;
using Kelvane_Test::Write_File;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// True when the line is the ctime() text of a second within [from, to].
bool Is_Stamp_Between(const std::string& line, std::time_t from, std::time_t to) {
    for (std::time_t t = from; t <= to; t++)
        if (line + "\n" == std::ctime(&t)) return true;
    return false;
}

}  // namespace

TEST(Log, Every_Entry_Is_A_Stamp_Line_Then_The_Arrowed_Message_And_Opening_Again_Starts_Afresh) {
    Kelvane_Test::Scratch_Dir scratch;
    Write_File("game.log", "left over\n");
    Log log("game.log");
    std::time_t before = std::time(nullptr);
    for (const char* message : {"Display created.", "", "two\nlines"}) log.Write(message);
    std::time_t after = std::time(nullptr);
    // Read while the log is still open: every entry must already be flushed.
    std::vector<std::string> lines = Lines(Read_File("game.log"));
    ASSERT_EQ(lines.size(), 7u);
    for (int stamp : {0, 2, 4}) EXPECT_TRUE(Is_Stamp_Between(lines[stamp], before, after)) << lines[stamp];
    EXPECT_EQ((std::vector<std::string>{lines[1], lines[3], lines[5], lines[6]}),
              (std::vector<std::string>{"--> Display created.", "--> ", "--> two", "lines"}));
}

TEST(Log, A_Log_That_Cannot_Be_Opened_Says_So_And_Writes_To_Standard_Error) {
    Kelvane_Test::Scratch_Dir scratch;
    testing::internal::CaptureStderr();
    Log log("no_such_folder/game.log");
    std::time_t before = std::time(nullptr);
    log.Write("lost no more");
    std::time_t after = std::time(nullptr);
    std::vector<std::string> lines = Lines(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()) && !log.Is_Open());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "The log file no_such_folder/game.log couldn't be opened; its messages follow here.");
    EXPECT_TRUE(Is_Stamp_Between(lines[1], before, after)) << lines[1];
    EXPECT_EQ(lines[2], "--> lost no more");
}
