#include "zel/core/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "zel/core/terminal_text.h"
#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace {

namespace fs = std::filesystem;

void Touch(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }
std::string Read(const fs::path& p) {
  std::ifstream in(p);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(RecorderIds, SafeAndUnsafe) {
  for (const char* id : {"North Yard", "A", "a.b", "...", "Yard,East", "K-17 (west)", "é"})
    EXPECT_TRUE(IsSafeRecorderId(id)) << id;
  for (const char* id : {"", ".", "..", "a\\b", "a/b", "../x", "C:", "a*", "a?", "a\"b", "<a", "a>",
                         "a|b", "tab\there", "nl\n", "\x7f"})
    EXPECT_FALSE(IsSafeRecorderId(id)) << id;
  EXPECT_FALSE(IsSafeRecorderId(std::string("a\0b", 3)));
}

TEST(RecorderIds, UnsafeIdsNeverGiveAPath) {
  zeltest::TempFolder dir("paths");
  for (const char* id : {"", ".", "..", "../escape", "/etc", "a\\..\\b", "x:y", "bad|id"}) {
    FolderResult f = RecorderFolder(dir.path().string(), id);
    EXPECT_FALSE(f) << id;
    EXPECT_FALSE(f.error.empty()) << id;
    EXPECT_FALSE(QueryFolder(dir.path().string(), id)) << id;
    EXPECT_FALSE(EnsureRecorderFolder(dir.path().string(), id)) << id;
    EXPECT_FALSE(EnsureQueryFolder(dir.path().string(), id)) << id;
  }
  // Nothing was created, neither inside nor beside the data folder.
  EXPECT_TRUE(fs::is_empty(dir.path()));
  EXPECT_FALSE(fs::exists(dir.path().parent_path() / "escape"));
  // No data folder: no path either (it would land in the root folder).
  FolderResult f = RecorderFolder("", "North Yard");
  EXPECT_FALSE(f);
  EXPECT_NE(f.error.find("data folder"), std::string::npos);
}

TEST(RecorderIds, FolderIsDataFolderAndId) {
  zeltest::TempFolder dir("paths");
  FolderResult f = RecorderFolder(dir.path().string(), "North Yard");
  ASSERT_TRUE(f);
  EXPECT_EQ(*f.path, dir.path() / "North Yard");
  EXPECT_FALSE(fs::exists(*f.path));  // building the name creates nothing
  FolderResult q = EnsureQueryFolder(dir.path().string(), "North Yard");
  ASSERT_TRUE(q) << q.error;
  EXPECT_EQ(*q.path, dir.path() / "North Yard" / "Query");
  EXPECT_TRUE(fs::is_directory(*q.path));
  // Ensuring an existing folder is fine.
  EXPECT_TRUE(EnsureRecorderFolder(dir.path().string(), "North Yard"));
  // The data folder itself is never made.
  FolderResult missing = EnsureRecorderFolder((dir.path() / "absent").string(), "A");
  EXPECT_FALSE(missing);
  EXPECT_FALSE(fs::exists(dir.path() / "absent"));
  // A file where the recorder folder should be.
  Touch(dir.path() / "Plain", "x");
  EXPECT_FALSE(EnsureRecorderFolder(dir.path().string(), "Plain"));
}

TEST(RecorderIds, RecorderFolderLinkLeadingOutsideIsRefused) {
  zeltest::TempFolder dir("paths");
  const fs::path data = dir.path() / "data";
  const fs::path outside = dir.path() / "outside";
  fs::create_directories(data / "Inner");
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, data / "Out");
  FolderResult f = EnsureRecorderFolder(data.string(), "Out");
  EXPECT_FALSE(f);
  EXPECT_NE(f.error.find("leads outside the data folder"), std::string::npos) << f.error;
  EXPECT_FALSE(EnsureQueryFolder(data.string(), "Out"));
  EXPECT_TRUE(fs::is_empty(outside));
  // A Query folder leading outside is refused as well.
  fs::create_directories(data / "Q");
  fs::create_directory_symlink(outside, data / "Q" / "Query");
  EXPECT_TRUE(EnsureRecorderFolder(data.string(), "Q"));
  EXPECT_FALSE(EnsureQueryFolder(data.string(), "Q"));
  // A link that stays inside the data folder, and a data folder that is itself a link, are fine.
  fs::create_directory_symlink(data / "Inner", data / "Alias");
  EXPECT_TRUE(EnsureRecorderFolder(data.string(), "Alias"));
  fs::create_directory_symlink(data, dir.path() / "datalink");
  FolderResult viaLink = EnsureRecorderFolder((dir.path() / "datalink").string(), "Inner");
  EXPECT_TRUE(viaLink) << viaLink.error;
  // A link loop as the recorder folder.
  fs::create_directory_symlink(data / "Loop", data / "Loop");
  FolderResult loop = EnsureRecorderFolder(data.string(), "Loop");
  EXPECT_FALSE(loop);
  EXPECT_FALSE(loop.error.empty());
}

TEST(SetupFileUpgrade, RenamesOnlyWhenTheNewNameIsFree) {
  zeltest::TempFolder dir("paths");
  fs::path rec = dir.path() / "R1";
  fs::create_directory(rec);
  Touch(rec / "R1_setupdata.bin", "old");
  EXPECT_TRUE(UpgradeSetupFileName(dir.path().string(), "R1"));
  EXPECT_FALSE(fs::exists(rec / "R1_setupdata.bin"));
  EXPECT_EQ(Read(rec / "setupdata.bin"), "old");
  // Both present: nothing changes.
  Touch(rec / "R1_setupdata.bin", "older");
  EXPECT_FALSE(UpgradeSetupFileName(dir.path().string(), "R1"));
  EXPECT_EQ(Read(rec / "setupdata.bin"), "old");
  EXPECT_EQ(Read(rec / "R1_setupdata.bin"), "older");
  // Neither present, or no folder: nothing.
  EXPECT_FALSE(UpgradeSetupFileName(dir.path().string(), "R2"));
  // An unsafe ID never touches a file outside the data folder.
  fs::create_directory(dir.path() / "in");
  Touch(dir.path() / ".._setupdata.bin", "outside");
  EXPECT_FALSE(UpgradeSetupFileName((dir.path() / "in").string(), ".."));
  EXPECT_TRUE(fs::exists(dir.path() / ".._setupdata.bin"));
  EXPECT_FALSE(fs::exists(dir.path() / "setupdata.bin"));
}

TEST(Folders, ProgramFolderAndCurrentFolder) {
  std::string p = ProgramFolder();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.back(), kPathSeparator);
  EXPECT_TRUE(fs::exists(fs::path(p) / "core_tests"));  // this test program's own folder
  zeltest::TempFolder dir("paths");
  fs::path before = fs::current_path();
  EXPECT_TRUE(MakeCurrentFolder(dir.path().string()));
  EXPECT_EQ(fs::canonical(fs::current_path()), fs::canonical(dir.path()));
  EXPECT_FALSE(MakeCurrentFolder((dir.path() / "missing").string()));
  EXPECT_FALSE(MakeCurrentFolder(""));
  fs::current_path(before);
}

// zel.dat: the program folder of a portable (writable) installation; otherwise the per-user
// configuration folder, with the base directory rules' fallbacks.
TEST(ZelDatPath, PortableFolderFirstThenTheUsersConfiguration) {
  EXPECT_EQ(ZelDatPathFor("/opt/zel/", true, "/home/a/.cfg", "/home/a"), "/opt/zel/zel.dat");
  EXPECT_EQ(ZelDatPathFor("/usr/lib/zel/", false, "/home/a/.cfg", "/home/a"),
            "/home/a/.cfg/zel/zel.dat");
  EXPECT_EQ(ZelDatPathFor("/usr/lib/zel/", false, nullptr, "/home/a"),
            "/home/a/.config/zel/zel.dat");
  EXPECT_EQ(ZelDatPathFor("/usr/lib/zel/", false, "", "/home/a"), "/home/a/.config/zel/zel.dat");
  // A relative XDG_CONFIG_HOME is not a base directory.
  EXPECT_EQ(ZelDatPathFor("/usr/lib/zel/", false, "cfg", "/home/a"), "/home/a/.config/zel/zel.dat");
  // Nowhere else to go: the program folder, where saving then fails with its reason.
  EXPECT_EQ(ZelDatPathFor("/usr/lib/zel/", false, nullptr, nullptr), "/usr/lib/zel/zel.dat");
}

TEST(ZelDatPath, WritableFolderOfThisProcessAndTheFolderMadeOnSave) {
  zeltest::TempFolder t("paths");
  EXPECT_EQ(ZelDatPath(t.path().string() + "/"), t.path() / "zel.dat");
  const fs::path deep = t.path() / "cfg" / "zel" / "zel.dat";
  EXPECT_TRUE(EnsureZelDatFolder(deep));
  EXPECT_TRUE(fs::is_directory(deep.parent_path()));
  EXPECT_TRUE(EnsureZelDatFolder(deep));  // already there
  std::ofstream(t.path() / "file") << "x";
  EXPECT_FALSE(EnsureZelDatFolder(t.path() / "file" / "zel.dat"));  // a file in the way
  // A program folder that is no folder keeps its own path: saving fails and says why, instead
  // of landing in the user's configuration unseen.
  EXPECT_EQ(ZelDatPath((t.path() / "file").string() + "/"), t.path() / "file" / "zel.dat");
  EXPECT_EQ(ZelDatPath((t.path() / "missing").string() + "/"), t.path() / "missing" / "zel.dat");
}

}  // namespace
}  // namespace zel::core

TEST(TerminalText, ControlCharactersAreShownEscapedAndTheRestAsItIs) {
  EXPECT_EQ(zel::core::TerminalText("North Yard 7"), "North Yard 7");
  EXPECT_EQ(zel::core::TerminalText("A\x1b[2J\a\t\r\nB\x7f"), "A\\x1B[2J\\x07\\t\\r\\nB\\x7F");
  EXPECT_EQ(zel::core::TerminalText(std::string("\0z", 2)), "\\x00z");
  EXPECT_EQ(zel::core::TerminalText("Gleis \xc3\xbc"), "Gleis \xc3\xbc") << "UTF-8 kept";
}
