// Which manifest paths may be joined to a folder.
#include "updater/contained_path.h"

#include <gtest/gtest.h>

namespace {

TEST(ContainedPathTest, FileNamesThatStayInside) {
  for (const char* name : {"NorvoSMS.exe", "bin/a.dll", "bin\\a.dll", "skin/img/ok.bmp", "./a.dll", "a..b", "..a", "a.",
                           "COM10", "lpt", ".hidden"})
    EXPECT_TRUE(StaysInsideFolder(name)) << name;
}

TEST(ContainedPathTest, FileNamesThatCouldLeave) {
  // The names packed by kind, as written: not reflowed.
  // clang-format off
  for (const char* name : {"", "../a", "..\\a", "bin/../../a", "bin\\..\\..\\a", "..", "...", ".. ", " ..",
                           "bin/.../a", "/etc/passwd", "\\Windows\\win.ini", "\\\\server\\share\\a",
                           "C:\\Windows\\win.ini", "C:a.dll", "c:/a", "a.dll:stream", "bin//a", "bin/", "bin\\",
                           "a\tb", "a\nb", "a|b", "a?", "a*", "<a>", "a\"b", "NUL", "nul.txt", "bin/CON",
                           "Aux.dll", "COM1", "lpt9.log", "CONOUT$", "con .txt", "con.d/x"})
    EXPECT_FALSE(StaysInsideFolder(name)) << name;
  // clang-format on
}

// Folders under %ProgramFiles% may be empty or end in one separator.
TEST(ContainedPathTest, InstallFolders) {
  for (const char* folder : {"", "NorvoSMS", "Norvo/NorvoSMS/", "Norvo\\NorvoSMS\\"})
    EXPECT_TRUE(FolderStaysInside(folder)) << folder;
  for (const char* folder : {"/", "//", "../../../../tmp/x", "..\\..\\tmp", "Norvo/../..", "/tmp/x", "\\tmp", "D:\\x",
                             "Norvo//x", "Norvo/x//", "NUL/x"})
    EXPECT_FALSE(FolderStaysInside(folder)) << folder;
}

}  // namespace
