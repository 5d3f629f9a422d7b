#include "zel/core/recorder_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zel::core {
namespace {

RecorderRecord Rec(const std::string& id) {
  RecorderRecord r;
  r.id = id;
  return r;
}

std::vector<std::string> Ids(const RecorderList& l) {
  std::vector<std::string> ids;
  for (const auto& r : l.Snapshot()) ids.push_back(r.id);
  return ids;
}

using V = std::vector<std::string>;

TEST(RecorderListOps, AppendRemoveGetCount) {
  RecorderList l;
  EXPECT_EQ(l.Count(), 0u);
  EXPECT_FALSE(l.Get(0));
  EXPECT_FALSE(l.Remove(0));
  for (const char* id : {"A", "B", "C", "D"}) l.Append(Rec(id));
  EXPECT_EQ(l.Count(), 4u);
  EXPECT_EQ(l.Get(2)->id, "C");
  EXPECT_FALSE(l.Get(4));
  EXPECT_TRUE(l.Remove(1));
  EXPECT_EQ(Ids(l), (V{"A", "C", "D"}));
  EXPECT_FALSE(l.Remove(3));
  EXPECT_TRUE(l.Set(0, Rec("Z")));
  EXPECT_FALSE(l.Set(3, Rec("Y")));
  EXPECT_TRUE(l.Update(1, [](RecorderRecord& r) { r.phone = "1"; }));
  EXPECT_EQ(l.Get(1)->phone, "1");
  l.Clear();
  EXPECT_EQ(l.Count(), 0u);
}

TEST(RecorderListOps, RemovePositionsInAnyOrder) {
  RecorderList l({Rec("A"), Rec("B"), Rec("C"), Rec("D"), Rec("E")});
  EXPECT_EQ(l.RemovePositions({3, 1, 3, 9}), 2u);
  EXPECT_EQ(Ids(l), (V{"A", "C", "E"}));
  EXPECT_EQ(l.RemovePositions({}), 0u);
  EXPECT_EQ(l.RemovePositions({0, 1, 2}), 3u);
  EXPECT_EQ(l.Count(), 0u);
}

TEST(RecorderListOps, FindByIdIsExact) {
  RecorderList l({Rec("Yard"), Rec("yard"), Rec("Yard ")});
  EXPECT_EQ(l.FindById("yard"), 1u);
  EXPECT_EQ(l.FindById("Yard"), 0u);
  EXPECT_EQ(l.FindById("Yard "), 2u);
  EXPECT_FALSE(l.FindById("YARD"));
  EXPECT_FALSE(l.FindById(""));
  EXPECT_TRUE(l.UpdateById("yard", [](RecorderRecord& r) { r.password = "pw"; }));
  EXPECT_EQ(l.Get(1)->password, "pw");
  EXPECT_EQ(l.Get(0)->password, "");
  EXPECT_FALSE(l.UpdateById("none", [](RecorderRecord&) {}));
}

TEST(RecorderListOps, Reorder) {
  RecorderList l({Rec("A"), Rec("B"), Rec("C")});
  EXPECT_TRUE(l.Reorder({2, 0, 1}));
  EXPECT_EQ(Ids(l), (V{"C", "A", "B"}));
  EXPECT_FALSE(l.Reorder({0, 0, 1}));
  EXPECT_FALSE(l.Reorder({0, 1}));
  EXPECT_FALSE(l.Reorder({0, 1, 3}));
  EXPECT_EQ(Ids(l), (V{"C", "A", "B"}));
}

TEST(RecorderListJobs, WriteBackReachesOnlyTheNewestJob) {
  RecorderList l({Rec("A"), Rec("B")});
  uint64_t first = l.MarkJob(0);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(l.MarkJob(5), 0u);
  EXPECT_TRUE(l.UpdateJob(first, [](RecorderRecord& r) { r.clockSetDay = 10; }));
  EXPECT_EQ(l.Get(0)->clockSetDay, 10);
  // A newer poll takes the record over: the older one can no longer write into it.
  uint64_t second = l.MarkJob(0);
  EXPECT_NE(second, first);
  EXPECT_FALSE(l.UpdateJob(first, [](RecorderRecord& r) { r.clockSetDay = 11; }));
  EXPECT_EQ(l.Get(0)->clockSetDay, 10);
  // Moving keeps the link; removing the record drops it.
  ASSERT_TRUE(l.Reorder({1, 0}));
  EXPECT_TRUE(l.UpdateJob(second, [](RecorderRecord& r) { r.clockSetDay = 12; }));
  EXPECT_EQ(l.Get(1)->clockSetDay, 12);
  l.EndJob(second);
  EXPECT_FALSE(l.UpdateJob(second, [](RecorderRecord&) {}));
  uint64_t third = l.MarkJob(1);
  l.Remove(1);
  EXPECT_FALSE(l.UpdateJob(third, [](RecorderRecord&) { FAIL(); }));
  EXPECT_FALSE(l.UpdateJob(0, [](RecorderRecord&) {}));
}

TEST(RecorderListJobs, CopiesAreIndependent) {
  RecorderList a({Rec("A")});
  RecorderList b = a;
  b.Append(Rec("B"));
  b.Update(0, [](RecorderRecord& r) { r.id = "Z"; });
  EXPECT_EQ(Ids(a), V{"A"});
  EXPECT_EQ(Ids(b), (V{"Z", "B"}));
  a = b;
  EXPECT_EQ(Ids(a), (V{"Z", "B"}));
}

TEST(RecorderListJobs, ConcurrentUpdatesAndReads) {
  RecorderList l;
  for (int i = 0; i < 20; ++i) l.Append(Rec("R" + std::to_string(i)));
  std::vector<uint64_t> tokens;
  for (size_t i = 0; i < 20; ++i) tokens.push_back(l.MarkJob(i));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int round = 1; round <= 200; ++round)
      for (uint64_t t : tokens) l.UpdateJob(t, [&](RecorderRecord& r) { r.clockSetDay = round; });
    stop = true;
  });
  size_t reads = 0;
  while (!stop) {
    for (const auto& r : l.Snapshot()) ASSERT_EQ(r.id[0], 'R');
    ++reads;
    if (reads > 100000) break;
  }
  writer.join();
  for (const auto& r : l.Snapshot()) EXPECT_EQ(r.clockSetDay, 200);
}

}  // namespace
}  // namespace zel::core
