// The zelreport program: the same report as the library, its options and its exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "report_test_util.h"
#include "zel/core/report.h"
#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace {

namespace fs = std::filesystem;
using testing::Date;

class ZelReportTool : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = fs::path(ZEL_BIN_DIR) / "zelreport";
    if (!fs::exists(tool_)) GTEST_SKIP() << "zelreport is not built";
    dir_ = temp_.path();
    setup_.SetUnitName("Tool Yard");
    setup_.SetName(0, "Home");
    setup_.SetIdentifier(0, "HOME");
    setup_.SetOnName(0, "On");
    setup_.SetOffName(0, "Off");
    const uint16_t d = Date(24, 3, 15);
    bytes_ = testing::EventFile(testing::k61EShape, d, 0, d, 0,
                                {{0x40, 1, 0, 0, d}, {0x40, 2, 1, 0, d}, {0x40, 3, 200, 0, d}});
    std::ofstream(dir_ / "e.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes_.data()),
               static_cast<std::streamsize>(bytes_.size()));
  }
  int Run(const std::string& args) {
    const std::string cmd =
        "'" + tool_.string() + "' " + args + " 2>'" + (dir_ / "stderr.txt").string() + "'";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

  zeltest::TempFolder temp_{"report_tool"};
  fs::path tool_, dir_;
  SetupDatabase setup_{13};
  std::vector<uint8_t> bytes_;
};

TEST_F(ZelReportTool, WritesTheLibraryReportWithTheFolderOrGivenSetup) {
  ASSERT_TRUE(setup_.SaveFile(dir_ / "setupdata.bin"));
  std::string expected;
  ASSERT_TRUE(RenderReport(13, setup_, bytes_.data(), bytes_.size(), InputFilter(), expected).ok());
  EXPECT_EQ(Run("--type KRV-61E/A " + Quote(dir_ / "e.bin") + " " + Quote(dir_ / "r.txt")), 0);
  EXPECT_EQ(Read(dir_ / "r.txt"), expected);

  fs::create_directories(dir_ / "other");
  fs::rename(dir_ / "setupdata.bin", dir_ / "other" / "s.bin");
  EXPECT_EQ(Run("--type 13 " + Quote(dir_ / "e.bin") + " " + Quote(dir_ / "r2.txt") + " --setup " +
                Quote(dir_ / "other" / "s.bin")),
            0);
  EXPECT_EQ(Read(dir_ / "r2.txt"), expected);
}

TEST_F(ZelReportTool, InputsByNumberRangeOrIdentifier) {
  ASSERT_TRUE(setup_.SaveFile(dir_ / "setupdata.bin"));
  std::string expected;
  ASSERT_TRUE(
      RenderReport(13, setup_, bytes_.data(), bytes_.size(), InputFilter::Only({0, 200}), expected)
          .ok());
  EXPECT_EQ(Run("--type 13 --inputs 0,S01 " + Quote(dir_ / "e.bin") + " " + Quote(dir_ / "a.txt")),
            0);
  EXPECT_EQ(Read(dir_ / "a.txt"), expected);
  EXPECT_EQ(
      Run("--type 13 --inputs 0-0,200-200 " + Quote(dir_ / "e.bin") + " " + Quote(dir_ / "b.txt")),
      0);
  EXPECT_EQ(Read(dir_ / "b.txt"), expected);
}

TEST_F(ZelReportTool, BadInputExitsWithTwoAndAMessage) {
  ASSERT_TRUE(setup_.SaveFile(dir_ / "setupdata.bin"));
  const std::string files = Quote(dir_ / "e.bin") + " " + Quote(dir_ / "r.txt");
  EXPECT_EQ(Run("--type KPD-29A " + files), 2);
  EXPECT_NE(Read(dir_ / "stderr.txt").find("no model"), std::string::npos);
  EXPECT_EQ(Run("--type nonsense " + files), 2);
  EXPECT_EQ(Run(files), 2);  // --type missing
  EXPECT_EQ(Run("--type 13 --inputs 0,X99 " + files), 2);
  EXPECT_NE(Read(dir_ / "stderr.txt").find("X99"), std::string::npos);
  EXPECT_EQ(Run("--type 13 --inputs 5-2 " + files), 2);
  EXPECT_EQ(Run("--type 13 " + Quote(dir_ / "missing.bin") + " " + Quote(dir_ / "r.txt")), 2);
  EXPECT_EQ(Run("--type 5 " + files), 2);  // a KRV-61E/A file given as KRV-517XL/A
  EXPECT_NE(Read(dir_ / "stderr.txt").find("another model"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "r.txt"));
  fs::remove(dir_ / "setupdata.bin");
  EXPECT_EQ(Run("--type 13 " + files), 2);
  EXPECT_NE(Read(dir_ / "stderr.txt").find("setupdata.bin"), std::string::npos);
}

TEST_F(ZelReportTool, RefusesToWriteTheReportOverItsInput) {
  ASSERT_TRUE(setup_.SaveFile(dir_ / "setupdata.bin"));
  const std::string setupBytes = Read(dir_ / "setupdata.bin");
  const std::string eventBytes = Read(dir_ / "e.bin");
  fs::create_hard_link(dir_ / "e.bin", dir_ / "hard.txt");
  fs::create_symlink("setupdata.bin", dir_ / "soft.txt");
  const std::string event = Quote(dir_ / "e.bin");
  for (const fs::path& out : {dir_ / "e.bin", dir_ / "hard.txt", dir_ / "." / "e.bin"}) {
    EXPECT_EQ(Run("--type 13 " + event + " " + Quote(out)), 1) << out;
    EXPECT_NE(Read(dir_ / "stderr.txt").find("is the event file itself"), std::string::npos)
        << Read(dir_ / "stderr.txt");
  }
  for (const fs::path& out : {dir_ / "setupdata.bin", dir_ / "soft.txt"}) {
    EXPECT_EQ(Run("--type 13 " + event + " " + Quote(out)), 1) << out;
    EXPECT_NE(Read(dir_ / "stderr.txt").find("is the setup database itself"), std::string::npos)
        << Read(dir_ / "stderr.txt");
  }
  EXPECT_EQ(Read(dir_ / "e.bin"), eventBytes);
  EXPECT_EQ(Read(dir_ / "setupdata.bin"), setupBytes);
}

}  // namespace
}  // namespace zel::core
