// The abort flag: a wait on it ends when it is raised, and raising it wakes a line wait.
#include "zel/platform/abort_flag.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <filesystem>
#include <thread>

#include "zel/platform/clock.h"
#include "zel/platform/program_folder.h"

namespace zel::platform {
namespace {

TEST(AbortFlag, WaitForEndsWhenRaisedAndRunsItsTimeOtherwise) {
  AbortFlag flag;
  int64_t t0 = MonotonicMs();
  EXPECT_FALSE(flag.WaitFor(60));
  EXPECT_GE(MonotonicMs() - t0, 55);
  std::thread raiser([&] { flag = 1; });
  EXPECT_TRUE(flag.WaitFor(60000)) << "a minute's wait ends only by the flag";
  raiser.join();
  EXPECT_TRUE(flag.WaitFor(0));
  // The wake is still there for a line wait once a wait on the flag itself has seen it.
  ASSERT_GE(flag.wake_fd(), 0);
  pollfd p{flag.wake_fd(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 1);
  // Cleared, the flag no longer ends waits, and its wake is taken.
  flag = 0;
  EXPECT_EQ(::poll(&p, 1, 0), 0);
  t0 = MonotonicMs();
  EXPECT_FALSE(flag.WaitFor(40));
  EXPECT_GE(MonotonicMs() - t0, 35);
}

TEST(ProgramFolder, IsTheRunningProgramsFolderWithATrailingSeparator) {
  const std::string f = ProgramFolder();
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(f.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(f + "platform_tests")) << f;
}

}  // namespace
}  // namespace zel::platform
