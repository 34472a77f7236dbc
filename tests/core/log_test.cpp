#include "core/log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <sstream>
#include <string>
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

TEST(Log, Every_Entry_Is_A_Stamp_Line_Then_The_Arrowed_Message_In_The_File_Or_Else_On_Standard_Error) {
    Kelvane_Test::Scratch_Dir scratch;
    Write_File("game.log", "left over\n");  // opening again starts afresh
    testing::internal::CaptureStderr();
    Log log("game.log"), lost("no_such_folder/game.log");
    std::time_t before = std::time(nullptr);
    for (const char* message : {"Display created.", "", "two\nlines"}) log.Write(message), lost.Write(message);
    std::time_t after = std::time(nullptr);
    std::string error = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(lost.Is_Open());
    EXPECT_EQ(Kelvane_Test::Folder_Entries("."), std::vector<std::string>{"game.log"});
    const std::string said = "The log file no_such_folder/game.log couldn't be opened; its messages follow here.\n";
    ASSERT_EQ(error.substr(0, said.size()), said);
    // The file is read while the log is still open: every entry must already be flushed.
    for (const std::string& text : {Read_File("game.log"), error.substr(said.size())}) {
        std::vector<std::string> lines = Lines(text);
        ASSERT_EQ(lines.size(), 7u) << text;
        for (int stamp : {0, 2, 4}) EXPECT_TRUE(Is_Stamp_Between(lines[stamp], before, after)) << lines[stamp];
        EXPECT_EQ((std::vector<std::string>{lines[1], lines[3], lines[5], lines[6]}),
                  (std::vector<std::string>{"--> Display created.", "--> ", "--> two", "lines"}));
    }
}
