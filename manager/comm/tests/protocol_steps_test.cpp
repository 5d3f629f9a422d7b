// The recorder steps against a fake recorder whose bytes are scripted here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "peers/scripted_peer.h"
#include "step_clock.h"
#include "zel/comm/protocol.h"
#include "zel/day_number.h"
#include "zel/platform/clock.h"
#include "zel/setup_database.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

namespace zel::comm {
namespace {

namespace fs = std::filesystem;
using platform::LocalTime;
using testing::FastTimings;
using testing::Pattern;
using testing::ScriptedPeer;
using testing::StepClock;

constexpr int kTypeKpd29a = 17;  // the one model outside the protocol set
constexpr int kType517 = 3;

LocalTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  LocalTime t;
  t.year = y;
  t.month = mo;
  t.day = d;
  t.hour = h;
  t.minute = mi;
  t.second = s;
  return t;
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_.id = "North Yard";
    rec_.password = "s3cret";
    rec_.type = kType517;
  }

  template <typename F>
  std::future<int> Run(F f) {
    return std::async(std::launch::async, f);
  }

  Connection conn_{FastTimings()};
  ScriptedPeer peer_{conn_};
  RecorderRecord rec_;
  zeltest::TempFolder temp_{"proto"};
  fs::path dir_ = temp_.path();
};

// ---- command texts ----

TEST(ProtocolTextTest, ClockCommandIsNotZeroPadded) {
  EXPECT_EQ(ClockCommand(At(2024, 3, 3, 9, 5, 7)),
            "ST9\x1b[C5\x1b[C7\x1b[B24\x1b[D3\x1b[D3\r\x1b\x1bY\x1b\x1b");
  EXPECT_EQ(ClockCommand(At(2099, 12, 31, 23, 59, 58)),
            "ST23\x1b[C59\x1b[C58\x1b[B99\x1b[D31\x1b[D12\r\x1b\x1bY\x1b\x1b");
  // Year 2000 and midnight: zeros are written as "0".
  EXPECT_EQ(ClockCommand(At(2000, 1, 1, 0, 0, 0)),
            "ST0\x1b[C0\x1b[C0\x1b[B0\x1b[D1\x1b[D1\r\x1b\x1bY\x1b\x1b");
}

TEST(ProtocolTextTest, DayCommandIsZeroPaddedMonthDayYear) {
  EXPECT_EQ(DayCommand(At(2024, 3, 3)), "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  EXPECT_EQ(DayCommand(At(2005, 11, 9)), "A11-09-05 0:0:0 11-09-05 23:59:59\r");
}

TEST(ProtocolTextTest, IntervalCommandIsPlainDecimal) {
  EXPECT_EQ(IntervalCommand(At(2024, 3, 3, 9, 5, 7), At(2024, 12, 31, 23, 0, 59)),
            "A3-3-24 9:5:7 12-31-24 23:0:59\r");
  EXPECT_EQ(IntervalCommand(At(2008, 1, 2, 0, 0, 0), At(2008, 1, 2, 10, 11, 12)),
            "A1-2-8 0:0:0 1-2-8 10:11:12\r");
}

TEST(ProtocolTextTest, EventFileNameTakesDayFetchedAndPollTime) {
  EXPECT_EQ(EventFileName(At(2024, 3, 3), At(2024, 3, 4, 1, 2, 3)), "240303-010203.bin");
  EXPECT_EQ(EventFileName(At(2009, 12, 31), At(2010, 1, 1, 23, 59, 59)), "091231-235959.bin");
}

// ---- Login ----

TEST_F(ProtocolTest, LoginSendsWakeUpThenPasswordAfterSilenceAndSucceeds) {
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  EXPECT_EQ(peer_.ReadN(9), "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b");
  peer_.Write("Recorder menu\r\nEnter password: ");
  // The recorder keeps talking: the password may only come once the line is quiet.
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(peer_.Read(20), -1) << "password sent while the line was busy";
    peer_.Write(".");
  }
  EXPECT_EQ(peer_.ReadN(7), "s3cret\r");
  EXPECT_EQ(r.get(), 0);
}

// The login's clock moves only as the test moves it: `PasswordAfterQuiet` lets the quiet after
// the prompt pass in steps of 10 ms until the password comes.
std::string PasswordAfterQuiet(StepClock& clock, ScriptedPeer& peer) {
  int first = -1;
  zeltest::WaitUntil([&] {
    clock.AdvanceMs(10);
    return (first = peer.Read(0)) >= 0;
  });
  return first < 0 ? std::string() : static_cast<char>(first) + peer.ReadN(6);
}

TEST_F(ProtocolTest, LoginWaitsForRepeatedPromptBeforeCountingAsGood) {
  StepClock clock(0, 0);
  clock.Drive(conn_);
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  EXPECT_EQ(peer_.ReadN(9).size(), 9u);
  peer_.Write("Enter password: ");
  EXPECT_EQ(PasswordAfterQuiet(clock, peer_), "s3cret\r");
  // The prompt comes back late but inside the password window (200 ms here): 100 ms later
  // (at most 20 ms passed while the password was on its way).
  clock.AdvanceMs(100);
  peer_.Write("\r\nEnter password: ");
  EXPECT_EQ(r.get(), 6);
}

TEST_F(ProtocolTest, LoginWrongPasswordPromptSplitOverReads) {
  StepClock clock(0, 0);
  clock.Drive(conn_);
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  peer_.ReadN(9);
  peer_.Write("Enter pass");
  // The rest once the login has taken the first part and found the line silent.
  const int silent = clock.silent();
  ASSERT_TRUE(zeltest::WaitUntil([&] { return clock.silent() > silent; }));
  peer_.Write("word: ");
  EXPECT_EQ(PasswordAfterQuiet(clock, peer_), "s3cret\r");
  peer_.Write("Invalid\r\nEnter ");
  peer_.Write("password: ");
  EXPECT_EQ(r.get(), 6);
}

TEST_F(ProtocolTest, LoginWithoutPromptIsNoLoginAndSendsNoPassword) {
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  peer_.ReadN(9);
  peer_.Write("Enter password:");  // no trailing blank: not the prompt
  EXPECT_EQ(r.get(), 5);
  EXPECT_EQ(peer_.Read(20), -1);
}

TEST_F(ProtocolTest, LoginAbortedDuringPromptWait) {
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  peer_.ReadN(9);
  conn_.abort_flag().store(1);
  EXPECT_EQ(r.get(), 8);
  EXPECT_EQ(peer_.Read(20), -1);
}

TEST_F(ProtocolTest, LoginAbortedAfterPasswordIsAborted) {
  auto r = Run([&] { return Login(conn_, 0, rec_); });
  peer_.ReadN(9);
  peer_.Write("Enter password: ");
  EXPECT_EQ(peer_.ReadN(7), "s3cret\r");
  conn_.abort_flag().store(1);
  EXPECT_EQ(r.get(), 8);
}

// ---- SetClock, Logoff ----

TEST_F(ProtocolTest, SetClockSendsLocalTimeOnlyToProtocolSet) {
  platform::FakeClock clock(At(2024, 3, 3, 9, 5, 7));
  EXPECT_EQ(SetClock(conn_, 0, rec_, clock), 0);
  EXPECT_EQ(peer_.ReadUntilQuiet(50), "ST9\x1b[C5\x1b[C7\x1b[B24\x1b[D3\x1b[D3\r\x1b\x1bY\x1b\x1b");
  rec_.type = kTypeKpd29a;
  EXPECT_EQ(SetClock(conn_, 0, rec_, clock), 0);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(ProtocolTest, LogoffSendsXyAndReportsAbort) {
  EXPECT_EQ(Logoff(conn_, 0, rec_), 0);
  EXPECT_EQ(peer_.ReadN(2), "XY");
  conn_.abort_flag().store(1);
  EXPECT_EQ(Logoff(conn_, 0, rec_), 8);
  EXPECT_EQ(peer_.ReadN(2), "XY");
}

// ---- DownloadSetup ----

TEST_F(ProtocolTest, DownloadSetupCommandTransferAndReturnToMenu) {
  const fs::path target = dir_ / "new_setupdata.bin";
  auto r = Run([&] { return DownloadSetup(conn_, 0, rec_, target); });
  EXPECT_EQ(peer_.ReadN(2), "TD");
  peer_.Write("Sending setup...\r\n");  // discarded by the silence wait
  // A whole setup database of the model, in whole blocks.
  const std::size_t blocks = (SetupFileLengths(rec_.type).min + 127) / 128;
  const auto data = Pattern(static_cast<int>(blocks * 128), 4);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(peer_.ReadN(3), "\r\x1b\x1b");
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(ReadFile(target), data);
}

TEST_F(ProtocolTest, DownloadSetupFailureKeepsSavedFileAndStillReturnsToMenu) {
  const fs::path target = dir_ / "setupdata.bin";
  const auto old = Pattern(512, 1);
  {
    std::ofstream out(target, std::ios::binary);
    out.write(reinterpret_cast<const char*>(old.data()), 512);
  }
  auto r = Run([&] { return DownloadSetup(conn_, 0, rec_, target); });
  EXPECT_EQ(peer_.ReadN(2), "TD");
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.Write(testing::Frame(1, Pattern(128, 2)));
  EXPECT_EQ(peer_.Read(), 0x06);
  peer_.WriteByte(0x18);
  EXPECT_EQ(peer_.Read(), 0x06);
  EXPECT_EQ(peer_.ReadN(3), "\r\x1b\x1b");
  EXPECT_EQ(r.get(), 7);
  EXPECT_EQ(ReadFile(target), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProtocolTest, DownloadSetupOutsideProtocolSetSendsNoCommands) {
  rec_.type = kTypeKpd29a;
  const fs::path target = dir_ / "setupdata.bin";
  auto r = Run([&] { return DownloadSetup(conn_, 0, rec_, target); });
  EXPECT_EQ(peer_.Read(), 'C');  // the first byte is the receiver's, not "TD"
  peer_.WriteByte(0x04);
  EXPECT_EQ(peer_.Read(), 0x06);
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(peer_.Read(100), -1);  // no CR ESC ESC
}

TEST_F(ProtocolTest, DownloadSetupAbortedBeforeTransfer) {
  conn_.abort_flag().store(1);
  EXPECT_EQ(DownloadSetup(conn_, 0, rec_, dir_ / "setupdata.bin"), 8);
  EXPECT_EQ(peer_.ReadUntilQuiet(50), "TD");
  EXPECT_FALSE(fs::exists(dir_ / "setupdata.bin"));
}

// ---- UploadSetup ----

class UploadTest : public ProtocolTest {
 protected:
  std::vector<uint8_t> WriteSetup(RecorderType type, const std::string& password) {
    SetupDatabase db(type);
    db.RestoreFactoryDefaults();
    db.SetAdministrativePassword(password);
    EXPECT_TRUE(db.SaveFile(dir_ / "setupdata.bin"));
    return ReadFile(dir_ / "setupdata.bin");
  }
  std::future<int> StartUpload() {
    return Run([&] {
      return UploadSetup(conn_, 0, rec_, dir_, [&](const std::string& id, const std::string& pw) {
        updates_.emplace_back(id, pw);
      });
    });
  }
  std::vector<std::pair<std::string, std::string>> updates_;
};

TEST_F(UploadTest, UploadSendsFileAndHandsOverItsPassword) {
  for (RecorderType type : {kType517, 14, 15}) {
    SCOPED_TRACE(type);
    rec_.type = type;
    updates_.clear();
    const auto file = WriteSetup(type, "fresh1");
    auto r = StartUpload();
    EXPECT_EQ(peer_.ReadN(2), "TU");
    EXPECT_EQ(peer_.Read(30), -1);  // "Y" only after the silence
    EXPECT_EQ(peer_.ReadN(1), "Y");
    peer_.Write("CC");
    bool ok = false;
    const auto got = testing::PeerReceive(peer_, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(peer_.ReadN(3), "\r\x1b\x1b");
    EXPECT_EQ(r.get(), 0);
    auto want = file;
    want.resize((file.size() + 127) / 128 * 128, 0);
    EXPECT_EQ(got, want);
    ASSERT_EQ(updates_.size(), 1u);
    EXPECT_EQ(updates_[0].first, "North Yard");
    EXPECT_EQ(updates_[0].second, "fresh1");
  }
}

TEST_F(UploadTest, NoReadyAnswerFailsWithoutTransferOrUpdate) {
  WriteSetup(kType517, "pw");
  auto r = StartUpload();
  EXPECT_EQ(peer_.ReadN(3), "TUY");
  peer_.Write("C");  // one 'C' is not "CC"
  EXPECT_EQ(r.get(), 7);
  EXPECT_EQ(peer_.Read(50), -1);
  EXPECT_TRUE(updates_.empty());
}

TEST_F(UploadTest, FailedTransferReturnsToMenuWithoutUpdate) {
  WriteSetup(kType517, "pw");
  auto r = StartUpload();
  EXPECT_EQ(peer_.ReadN(3), "TUY");
  peer_.Write("CC");
  peer_.WriteByte('C');
  EXPECT_EQ(peer_.ReadN(133).size(), 133u);
  peer_.WriteByte(0x18);
  EXPECT_EQ(peer_.ReadN(3), "\r\x1b\x1b");
  EXPECT_EQ(r.get(), 7);
  EXPECT_TRUE(updates_.empty());
}

TEST_F(UploadTest, MissingFileFailsWithoutUpdate) {
  // Nothing is sent for a file that cannot be read: the recorder is never asked to receive.
  auto r = StartUpload();
  EXPECT_EQ(r.get(), 7);
  EXPECT_EQ(peer_.ReadN(1, 200), "");
  EXPECT_TRUE(updates_.empty());
}

TEST_F(UploadTest, ModelOutsideProtocolSetSendsNoCommandsAndKeepsPassword) {
  rec_.type = kTypeKpd29a;
  const auto file = WriteSetup(kType517, "other");  // any file: type 17 has no layout
  auto r = StartUpload();
  EXPECT_EQ(peer_.Read(80), -1);  // neither "TU" nor "Y"
  peer_.Write("CC");
  bool ok = false;
  testing::PeerReceive(peer_, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(peer_.Read(100), -1);  // no CR ESC ESC
  EXPECT_TRUE(updates_.empty());
}

TEST_F(UploadTest, AbortAfterCommandIsReported) {
  WriteSetup(kType517, "pw");
  conn_.abort_flag().store(1);
  EXPECT_EQ(UploadSetup(conn_, 0, rec_, dir_, [&](auto&, auto&) { updates_.push_back({}); }), 8);
  EXPECT_EQ(peer_.ReadUntilQuiet(50), "TU");
  EXPECT_TRUE(updates_.empty());
}

// ---- query mode and event queries ----

TEST_F(ProtocolTest, EnterQueryModeAnsweredAndNotAnswered) {
  auto r = Run([&] { return EnterQueryMode(conn_, 0, rec_); });
  EXPECT_EQ(peer_.ReadN(1), "|");
  peer_.Write("\r\n?");
  EXPECT_EQ(r.get(), 1);

  r = Run([&] { return EnterQueryMode(conn_, 0, rec_); });
  EXPECT_EQ(peer_.ReadN(1), "|");
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(peer_.ReadUntilQuiet(50), "\x1b\x1b");

  rec_.type = kTypeKpd29a;
  EXPECT_EQ(EnterQueryMode(conn_, 0, rec_), 1);
  EXPECT_EQ(peer_.Read(50), -1);

  LeaveQueryMode(conn_, 0, rec_);
  EXPECT_EQ(peer_.ReadUntilQuiet(50), "\x1b\x1b");
}

TEST_F(ProtocolTest, QueryDayFetchesIntoNamedEventFile) {
  const LocalTime poll = At(2024, 3, 4, 10, 11, 12);
  auto r = Run([&] { return QueryDay(conn_, 0, rec_, At(2024, 3, 3), poll, dir_); });
  EXPECT_EQ(peer_.ReadN(34), "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  const auto data = Pattern(640, 3);
  ASSERT_TRUE(testing::PeerSend(peer_, data));
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(ReadFile(dir_ / "240303-101112.bin"), data);
}

TEST_F(ProtocolTest, QueryDayByDayNumberAndOutOfRange) {
  const LocalTime poll = At(2024, 3, 4, 10, 11, 12);
  const int day = DayNumber(24, 3, 3);
  auto r = Run([&] { return QueryDay(conn_, 0, rec_, day, poll, dir_); });
  EXPECT_EQ(peer_.ReadN(34), "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  ASSERT_TRUE(peer_.WaitFor('C'));
  peer_.WriteByte(0x04);  // a day without events
  EXPECT_EQ(peer_.Read(), 0x06);
  EXPECT_EQ(r.get(), 0);
  EXPECT_EQ(ReadFile(dir_ / "240303-101112.bin").size(), 0u);

  EXPECT_EQ(QueryDay(conn_, 0, rec_, -1, poll, dir_), 7);
  EXPECT_EQ(QueryDay(conn_, 0, rec_, 40000, poll, dir_), 7);
  EXPECT_EQ(peer_.Read(50), -1);
}

TEST_F(ProtocolTest, QueryIntervalCommandAndSilentRecorderFails) {
  const fs::path target = dir_ / "query.bin";
  auto r = Run([&] {
    return QueryInterval(conn_, 0, rec_, At(2024, 3, 3, 9, 5, 7), At(2024, 3, 3, 17, 30, 0),
                         target);
  });
  const std::string want = "A3-3-24 9:5:7 3-3-24 17:30:0\r";
  EXPECT_EQ(peer_.ReadN(want.size()), want);
  EXPECT_EQ(r.get(), 7);
  EXPECT_FALSE(fs::exists(target));
}

}  // namespace
}  // namespace zel::comm
