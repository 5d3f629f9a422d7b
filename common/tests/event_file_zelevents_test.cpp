// The zelevents program on hand-built files: header comments, CSV lines, exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "zel/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int code = -1;
  std::string out;
};

ToolRun RunTool(const std::string& args) {
  ToolRun r;
  const std::string cmd = std::string(ZEL_BIN_DIR) + "/zelevents " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class ZelEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(fs::path(ZEL_BIN_DIR) / "zelevents")) {
      GTEST_SKIP() << "zelevents is not built (build the target zelevents)";
    }
    dir_ = temp_.path();
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& b) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return p.string();
  }
  zeltest::TempFolder temp_{"zelevents"};
  fs::path dir_;
};

TEST_F(ZelEvents, Krv517XlFile) {
  const std::string line = "KRV517XL 1.00 binary\n";
  std::vector<uint8_t> b(line.begin(), line.end());
  // Two spare bytes, start 02/29/00 00:01:40.00, end 03/01/00 01:00:00.00.
  const std::vector<uint8_t> fixed = {0, 0,    0x5D, 0x00, 0x10, 0x27, 0,
                                      0, 0x61, 0x00, 0x40, 0x7E, 0x05, 0x00};
  b.insert(b.end(), fixed.begin(), fixed.end());
  std::vector<uint8_t> states(45, 0);
  states[0] = 0x05;  // inputs 0 and 2 on
  b.insert(b.end(), states.begin(), states.end());
  // lo mid special(2) input(2) hi signs values(8) state spare date(2)
  const std::vector<uint8_t> rec = {0x10, 0x27, 0x2E, 0xFB, 0x03, 0x00, 0x00, 0x01, 0x05, 0x80,
                                    0xFF, 0x10, 0,    0,    0,    0,    0xC0, 0,    0x5D, 0x00};
  b.insert(b.end(), rec.begin(), rec.end());
  const ToolRun r = RunTool(Write("a.bin", b));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("# header: KRV517XL 1.00 binary\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("# tick: 100"), std::string::npos);
  EXPECT_NE(r.out.find("# inputs: 360\n"), std::string::npos);
  EXPECT_NE(r.out.find("# start: 02/29/00 00:01:40 (10000 ticks)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("# end: 03/01/00 01:00:00 (360000 ticks)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("# initial: 101" + std::string(357, '0') + "\n"), std::string::npos);
  EXPECT_NE(r.out.find("state,time,date,input,special,abs_time,values\n"
                       "192,10000,02/29/00,3,-1234,509770000,-251 128 255 16 0 0 0 0\n"),
            std::string::npos)
      << r.out;
}

TEST_F(ZelEvents, UnknownAndUnreadableFilesExitTwo) {
  const std::string bad = "KRV517 3.00 binary \n";
  ToolRun r = RunTool(Write("bad.bin", std::vector<uint8_t>(bad.begin(), bad.end())));
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("not an event record file of a known type"), std::string::npos) << r.out;
  r = RunTool((dir_ / "nothing.bin").string());
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("cannot open"), std::string::npos) << r.out;
  // Forced by model, the damaged line does not matter.
  r = RunTool("--model KRV-517 " + (dir_ / "bad.bin").string());
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("# header: KRV517 3.00 binary"), std::string::npos);
  r = RunTool("--model 17 " + (dir_ / "bad.bin").string());
  EXPECT_EQ(r.code, 2);
}

}  // namespace
