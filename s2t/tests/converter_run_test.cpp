// The converter as a program: arguments, exit statuses, and files that are never half-written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "test_support.h"
#include "text_out.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::TempFolder;

struct Result {
  int status = -1;
  std::string err;
};

// Runs the built KRV-517XL program with the given arguments (already quoted).
Result RunProgram(const TempFolder& dir, const std::string& args) {
  const std::string errFile = dir.File("stderr.txt");
  const std::string command =
      "'" + std::string(ZEL_BIN_DIR) + "/krv517xls2t' " + args + " 2>'" + errFile + "'";
  const int raw = std::system(command.c_str());
  Result r;
  if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
  r.err = ReadText(errFile);
  fs::remove(errFile);
  return r;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::vector<std::string> FolderEntries(const TempFolder& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ConverterProgram, FewerThanTwoArgumentsExitOneSilently) {
  TempFolder dir;
  const std::string in = dir.File("setupdata.bin");
  testing::WriteBytes(in, std::vector<uint8_t>(100, 0));
  Result none = RunProgram(dir, "");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "");
  Result one = RunProgram(dir, Quote(in));
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(one.err, "");
  EXPECT_THAT(FolderEntries(dir), ::testing::ElementsAre("setupdata.bin"));
  // Through the library too, with argc below three.
  const char* argv[] = {"krv517xls2t", in.c_str()};
  std::ostringstream err;
  EXPECT_EQ(RunConverter(5, 2, argv, err), 1);
  EXPECT_EQ(RunConverter(5, 0, argv, err), 1);
}

TEST(ConverterProgram, ExtraArgumentsAreIgnored) {
  TempFolder dir;
  const std::string in = dir.File("setupdata.bin");
  testing::WriteBytes(in, std::vector<uint8_t>(23552, 0));
  Result r = RunProgram(dir, Quote(in) + " " + Quote(dir.File("a.txt")) + " extra /x");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(ReadText(dir.File("a.txt")).find("Unit Name:\n"), std::string::npos);
}

TEST(ConverterProgram, UnreadableSetupFileExitsZeroWithoutOutput) {
  TempFolder dir;
  const std::string out = dir.File("setup.txt");
  Result r = RunProgram(dir, Quote(dir.File("missing.bin")) + " " + Quote(out));
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(fs::exists(out));
  // One line on stderr saying what failed.
  EXPECT_THAT(r.err, ::testing::HasSubstr("missing.bin"));
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

  // An older listing stays exactly as it was.
  testing::WriteBytes(out, {'o', 'l', 'd', '\n'});
  r = RunProgram(dir, Quote(dir.File("missing.bin")) + " " + Quote(out));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadText(out), "old\n");

  // A folder given as the setup file cannot be read either.
  r = RunProgram(dir, Quote(dir.path().string()) + " " + Quote(dir.File("other.txt")));
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(fs::exists(dir.File("other.txt")));
  EXPECT_FALSE(r.err.empty());
}

TEST(ConverterProgram, UnwritableTextFileExitsZeroAndLeavesNothingBehind) {
  TempFolder dir;
  const std::string in = dir.File("setupdata.bin");
  testing::WriteBytes(in, std::vector<uint8_t>(23552, 0));
  // Into a folder that does not exist.
  Result r = RunProgram(dir, Quote(in) + " " + Quote(dir.File("no/such/folder/setup.txt")));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_THAT(r.err, ::testing::HasSubstr("setup.txt"));
  // Over a folder: the rename fails, and the temporary file is gone again.
  fs::create_directory(dir.File("taken"));
  r = RunProgram(dir, Quote(in) + " " + Quote(dir.File("taken")));
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.err.empty());
  EXPECT_TRUE(fs::is_directory(dir.File("taken")));
  EXPECT_THAT(FolderEntries(dir), ::testing::ElementsAre("setupdata.bin", "taken"));
}

TEST(ConverterProgram, ListingReplacesAnOlderOneWhole) {
  TempFolder dir;
  const std::string in = dir.File("setupdata.bin");
  const std::string out = dir.File("setup.txt");
  testing::WriteBytes(in, std::vector<uint8_t>(23552, 0));
  testing::WriteBytes(out, std::vector<uint8_t>(100000, 'x'));  // longer than the listing
  Result r = RunProgram(dir, Quote(in) + " " + Quote(out));
  EXPECT_EQ(r.status, 0);
  const std::string text = ReadText(out);
  EXPECT_EQ(text.rfind("Event names:\n", 0), 0u);
  EXPECT_EQ(text.find('x'), std::string::npos);
  EXPECT_THAT(FolderEntries(dir), ::testing::ElementsAre("setup.txt", "setupdata.bin"));
}

TEST(ConverterProgram, RefusesToWriteTheListingOverTheSetupFile) {
  TempFolder dir;
  const std::string in = dir.File("setupdata.bin");
  const std::vector<uint8_t> bytes(23552, 7);
  testing::WriteBytes(in, bytes);
  fs::create_symlink("setupdata.bin", dir.File("alias.txt"));
  for (const std::string& out : {in, dir.File("alias.txt"), dir.File("./setupdata.bin")}) {
    Result r = RunProgram(dir, Quote(in) + " " + Quote(out));
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.err, ::testing::HasSubstr("is the setup file itself")) << out;
    EXPECT_EQ(ReadText(in), std::string(bytes.begin(), bytes.end())) << out;
  }
  EXPECT_THAT(FolderEntries(dir), ::testing::ElementsAre("alias.txt", "setupdata.bin"));
}

TEST(WriteFileAtomically, WritesReplacesAndReportsFailures) {
  TempFolder dir;
  const std::string path = dir.File("a.txt");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "first\n", &error)) << error;
  EXPECT_EQ(ReadText(path), "first\n");
  ASSERT_TRUE(WriteFileAtomically(path, "", &error)) << error;
  EXPECT_EQ(ReadText(path), "");
  const std::string big(300000, 'b');
  ASSERT_TRUE(WriteFileAtomically(path, big, &error)) << error;
  EXPECT_EQ(ReadText(path), big);

  EXPECT_FALSE(WriteFileAtomically(dir.File("none/a.txt"), "x", &error));
  EXPECT_THAT(error, ::testing::HasSubstr("none"));
  EXPECT_FALSE(WriteFileAtomically(dir.path().string(), "x", nullptr));
  EXPECT_THAT(FolderEntries(dir), ::testing::ElementsAre("a.txt"));
}

TEST(Format, LongTextsAreNotCut) {
  const std::string long_text(1000, 'q');
  EXPECT_EQ(Format("<%s>", long_text.c_str()), "<" + long_text + ">");
  std::string out = "a";
  Appendf(out, "%-5s|%3d", "b", 7);
  EXPECT_EQ(out, "ab    |  7");
}

}  // namespace
}  // namespace zel::s2t
