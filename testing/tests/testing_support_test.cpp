// The shared test helpers themselves: a helper that hides a failure would let every test that
// leans on it pass for the wrong reason.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "zel/testing/files.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

namespace zeltest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(TempFolder, IsFreshPerObjectAndGoesAwayEvenWhenLockedDown) {
  fs::path kept;
  {
    TempFolder a("helper");
    TempFolder b("helper");
    EXPECT_NE(a.path(), b.path());
    EXPECT_TRUE(fs::is_directory(a.path()));
    EXPECT_TRUE(fs::is_empty(a.path()));
    fs::create_directories(a / "ro" / "deep");
    ASSERT_TRUE(WriteText(a / "ro" / "deep" / "f.bin", "abc"));
    EXPECT_EQ(a.File("f.bin"), (a.path() / "f.bin").string());
    // A test that takes the write permission off its own folder still leaves nothing behind.
    fs::permissions(a.path(), fs::perms::owner_read | fs::perms::owner_exec);
    kept = a.path();
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(Files, RoundTripBytesNamesAndCounts) {
  TempFolder t("files");
  const std::vector<uint8_t> bytes = {0x00, 0x1A, 0xFF, '\n', '\r'};
  ASSERT_TRUE(WriteBytes(t / "b.bin", bytes));
  EXPECT_EQ(ReadBytes(t / "b.bin"), bytes);
  ASSERT_TRUE(WriteText(t / "a.txt", "one"));
  ASSERT_TRUE(WriteText(t / "a.txt", "two"));  // replaces, never appends
  EXPECT_EQ(ReadText(t / "a.txt"), "two");
  EXPECT_EQ(FileNames(t.path()), (std::vector<std::string>{"a.txt", "b.bin"}));
  EXPECT_TRUE(FileNames(t / "missing").empty());
  EXPECT_EQ(ReadText(t / "missing"), "");
  EXPECT_FALSE(WriteText(t / "missing" / "x", "y"));
  EXPECT_EQ(CountOf("aaa", "aa"), 2);
  EXPECT_EQ(CountOf("abc", ""), 0);
}

TEST(Wait, ReturnsAsSoonAsTheConditionHoldsAndFalseAfterTheLimit) {
  std::atomic<bool> flag{false};
  std::thread t([&] { flag = true; });
  EXPECT_TRUE(WaitUntil([&] { return flag.load(); }));
  t.join();

  const auto t0 = std::chrono::steady_clock::now();
  int looks = 0;
  EXPECT_FALSE(WaitUntil([&] { return ++looks < 0; }, 60ms));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 60ms);  // it did wait the limit out
  EXPECT_GT(looks, 2);                                     // and looked more than once

  TempFolder f("wait");
  std::thread w([&] { WriteText(f / "late.txt", "done\n"); });
  EXPECT_TRUE(WaitForFile(f / "late.txt"));
  EXPECT_TRUE(WaitForText(f / "late.txt", "done"));
  w.join();
  EXPECT_FALSE(WaitForText(f / "late.txt", "never", 30ms));
}

// A stand-in for zelsim written in sh, so the child handling is tested on its own.
std::string FakeSim(const TempFolder& t, const std::string& body) {
  const fs::path p = t / "fakesim.sh";
  WriteText(p, "#!/bin/sh\n" + body);
  fs::permissions(p, fs::perms::owner_all);
  return p.string();
}

TEST(SimProcessHelper, LearnsPortsByExactNameAndStats) {
  TempFolder t("simproc");
  // The trap is in place before the child says it is ready, as zelsim's handler is.
  SimProcess sim(FakeSim(t,
                         "trap 'echo \"zelsim: R1: 2 connections, 1 logins, 3 queries, 0 setup "
                         "downloads, 1 uploads, 0 failed transfers\"; exit 0' TERM\n"
                         "echo 'zelsim: R10 (KRV-517XL) listening on 127.0.0.1:4010'\n"
                         "echo 'zelsim: R1 (KRV-517XL) listening on 127.0.0.1:4001'\n"
                         "echo 'zelsim: ready'\n"
                         "while :; do sleep 0.05; done\n"));
  ASSERT_TRUE(sim.Start({})) << sim.error();
  EXPECT_TRUE(sim.running());
  EXPECT_EQ(sim.Port("R1"), 4001);
  EXPECT_EQ(sim.Port("R10"), 4010);
  EXPECT_EQ(sim.Port("R"), -1);
  EXPECT_EQ(sim.StatsOf("R1").connections, -1);  // not printed before the end
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_FALSE(sim.running());
  const SimStats st = sim.StatsOf("R1");
  EXPECT_EQ(st.connections, 2) << sim.Output();
  EXPECT_EQ(st.logins, 1);
  EXPECT_EQ(st.queries, 3);
  EXPECT_EQ(st.setup_downloads, 0);
  EXPECT_EQ(st.uploads, 1);
  EXPECT_EQ(st.failed_transfers, 0);
  EXPECT_EQ(sim.StatsOf("R10").logins, -1);
}

TEST(SimProcessHelper, ReportsAChildThatNeverGetsReadyAndKillsOneThatWillNotStop) {
  TempFolder t("simproc");
  SimProcess quits(FakeSim(t, "echo 'zelsim: unknown or unsupported model'\nexit 2\n"));
  EXPECT_FALSE(quits.Start({}, 10000));
  EXPECT_NE(quits.error().find("unknown or unsupported model"), std::string::npos) << quits.error();
  EXPECT_FALSE(quits.running());

  SimProcess missing((t / "no-such-program").string());
  EXPECT_FALSE(missing.Start({}, 1000));
  EXPECT_FALSE(missing.error().empty());

  SimProcess stubborn(
      FakeSim(t, "trap '' TERM\necho 'zelsim: ready'\nwhile :; do sleep 0.05; done\n"));
  ASSERT_TRUE(stubborn.Start({})) << stubborn.error();
  EXPECT_EQ(stubborn.Stop(200), -1);  // killed
  EXPECT_FALSE(stubborn.running());
}

}  // namespace
}  // namespace zeltest
