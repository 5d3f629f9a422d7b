#include "model/station_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "zel/testing/temp_folder.h"

namespace zel::oxm {
namespace {

namespace fs = std::filesystem;

RecorderRecord Rec(const std::string& id, const std::string& password, int32_t day) {
  RecorderRecord r;
  r.id = id;
  r.password = password;
  r.clockSetDay = day;
  r.type = 3;
  return r;
}

const RecorderRecord& ById(const std::vector<RecorderRecord>& list, const std::string& id) {
  for (const RecorderRecord& r : list)
    if (r.id == id) return r;
  ADD_FAILURE() << "no recorder " << id;
  static const RecorderRecord none;
  return none;
}

TEST(OutsideChanges, OtherProgramsFieldsComeInAndTheWindowsOwnEditsStay) {
  const std::vector<RecorderRecord> known = {Rec("A", "pa", 100), Rec("B", "pb", 100),
                                             Rec("C", "pc", 100), Rec("D", "pd", 100)};
  // zelpoll set every clock on day 120 and uploaded new passwords to A, B and C; it also
  // knows a recorder E that the window never had.
  const std::vector<RecorderRecord> disk = {Rec("A", "A2", 120), Rec("B", "B2", 120),
                                            Rec("C", "C2", 120), Rec("D", "pd", 120),
                                            Rec("E", "pe", 120)};
  // The window: B's password typed anew and its clock set on day 125 by its own poll, D's
  // clock set on day 110, C renamed, a recorder F added.
  core::RecorderList list({Rec("A", "pa", 100), Rec("B", "typed", 125), Rec("C-new", "pc", 100),
                           Rec("D", "pd", 110), Rec("F", "pf", 0)});
  const std::vector<core::RecorderChange> taken = TakeOutsideChanges(known, disk, list);
  const std::vector<RecorderRecord> now = list.Snapshot();
  ASSERT_EQ(now.size(), 5u) << "nothing is added or removed";
  EXPECT_EQ(ById(now, "A").password, "A2");
  EXPECT_EQ(ById(now, "A").clockSetDay, 120);
  EXPECT_EQ(ById(now, "B").password, "typed") << "the window's own edit stays";
  EXPECT_EQ(ById(now, "B").clockSetDay, 125) << "the later of two clock settings";
  EXPECT_EQ(ById(now, "D").clockSetDay, 120);
  EXPECT_EQ(ById(now, "C-new").password, "pc") << "a renamed recorder takes nothing";
  EXPECT_EQ(ById(now, "F").clockSetDay, 0);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].id, "A");
  EXPECT_EQ(taken[1].id, "D");
  EXPECT_FALSE(taken[1].password);
}

class StationFileTest : public ::testing::Test {
 protected:
  StationFileTest() : dir_("station_file") {}

  // What zelpoll does at the end of a run: under the station lock, only its changes.
  void OtherProgramChanges(const std::vector<core::RecorderChange>& changes) {
    platform::StationLock lock;
    ASSERT_EQ(lock.TryLock(file()), platform::StationLock::Result::kLocked);
    std::string error;
    ASSERT_TRUE(
        core::SaveZelDatChanges(file(), changes, core::StationSettings::Defaults(), {}, &error))
        << error;
  }
  fs::path file() const { return dir_.path() / "zel.dat"; }

  zeltest::TempFolder dir_;
};

TEST_F(StationFileTest, SaveKeepsAnotherProgramsChangesAndTheWindowsEdits) {
  core::StationSettings settings = core::StationSettings::Defaults();
  ASSERT_TRUE(core::SaveZelDat(file(), settings, {Rec("A", "pa", 100), Rec("B", "pb", 100)}));
  StationFile sf(file());
  core::RecorderList list(sf.Load().contents.recorders);

  // The window deletes B, adds C and changes a setting; zelpoll sets A's clock and uploads a
  // password to A meanwhile, and to B, which the window deleted.
  list.Remove(1);
  list.Append(Rec("C", "pc", 0));
  settings.retries = 9;
  core::RecorderChange a{"A", 130, std::string("UPLOADED")};
  core::RecorderChange b{"B", 130, std::string("GONE")};
  OtherProgramChanges({a, b});

  std::string error;
  ASSERT_TRUE(sf.Save(settings, list, &error)) << error;
  const core::ZelDatLoad back = core::LoadZelDat(file());
  ASSERT_EQ(back.contents.recorders.size(), 2u);
  EXPECT_EQ(back.contents.recorders[0].id, "A");
  EXPECT_EQ(back.contents.recorders[0].password, "UPLOADED");
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, 130);
  EXPECT_EQ(back.contents.recorders[1].id, "C");
  EXPECT_EQ(back.contents.settings.retries, 9);
  EXPECT_EQ(list.Get(0)->password, "UPLOADED") << "the window's next poll uses it";

  // The window types another password for A: the next save keeps it, since the file has not
  // changed since the last save.
  list.Update(0, [](RecorderRecord& r) { r.password = "TYPED"; });
  ASSERT_TRUE(sf.Save(settings, list, &error)) << error;
  EXPECT_EQ(core::LoadZelDat(file()).contents.recorders[0].password, "TYPED");
}

TEST_F(StationFileTest, PollTakesTheLockAndWritesOnlyWhatThePollChanged) {
  ASSERT_TRUE(core::SaveZelDat(file(), core::StationSettings::Defaults(),
                               {Rec("A", "pa", 100), Rec("B", "pb", 100)}));
  StationFile sf(file());
  core::RecorderList list(sf.Load().contents.recorders);
  OtherProgramChanges({{"B", std::nullopt, std::string("B2")}});

  // Another program polls: the window does not.
  {
    platform::StationLock other;
    ASSERT_EQ(other.TryLock(file()), platform::StationLock::Result::kLocked);
    std::optional<std::string> held = sf.BeginPoll(list, nullptr);
    ASSERT_TRUE(held);
    EXPECT_EQ(*held, "Another poll of this station is running (process " +
                         std::to_string(::getpid()) + ")");
    EXPECT_FALSE(sf.Polling());
  }

  // The window polls: it holds the lock, and starts from the file's password of B.
  std::string warning;
  ASSERT_FALSE(sf.BeginPoll(list, &warning));
  EXPECT_TRUE(warning.empty()) << warning;
  EXPECT_TRUE(sf.Polling());
  EXPECT_EQ(list.Get(1)->password, "B2");
  platform::StationLock other;
  EXPECT_EQ(other.TryLock(file()), platform::StationLock::Result::kHeld);
  // The poll sets A's clock; the user adds a recorder and changes a setting meanwhile.
  list.Update(0, [](RecorderRecord& r) { r.clockSetDay = 140; });
  list.Append(Rec("New", "pn", 0));
  core::StationSettings settings = core::StationSettings::Defaults();
  settings.retries = 4;
  std::string error;
  ASSERT_TRUE(sf.EndPoll(settings, list, &error)) << error;
  EXPECT_FALSE(sf.Polling());
  const core::ZelDatLoad back = core::LoadZelDat(file());
  ASSERT_EQ(back.contents.recorders.size(), 2u) << "the added recorder waits for File > Save";
  EXPECT_EQ(back.contents.recorders[0].clockSetDay, 140);
  EXPECT_EQ(back.contents.recorders[1].password, "B2");
  EXPECT_NE(back.contents.settings.retries, 4);
  EXPECT_EQ(other.TryLock(file()), platform::StationLock::Result::kLocked) << "the lock is let go";
  other.Unlock();

  // Without a zel.dat the end of a poll writes nothing.
  fs::remove(file());
  ASSERT_FALSE(sf.BeginPoll(list, nullptr));
  list.Update(0, [](RecorderRecord& r) { r.clockSetDay = 141; });
  EXPECT_TRUE(sf.EndPoll(settings, list, &error));
  EXPECT_FALSE(fs::exists(file()));
}

}  // namespace
}  // namespace zel::oxm
