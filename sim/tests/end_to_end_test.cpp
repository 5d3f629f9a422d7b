// Our connection layer and recorder steps against the simulator: over TCP, over a pty as a
// direct line, and through the emulated modem.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim_test_util.h"
#include "zel/comm/connection.h"
#include "zel/comm/protocol.h"
#include "zel/platform/clock.h"
#include "zel/setup_database.h"
#include "zel/sim/server.h"
#include "zel/testing/temp_folder.h"

namespace zel::sim {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

enum class Path { kTcp, kPty, kModem };

class EndToEnd : public ::testing::TestWithParam<Path> {
 protected:
  void SetUp() override {
    RecorderConfig c;
    c.type = 5;
    c.password = "ROUTE66";
    c.seed = 11;
    c.scale = 0.01;
    std::string err;
    rec_ = Recorder::Create(c, &err);
    ASSERT_NE(rec_, nullptr) << err;
    fleet_ = std::make_unique<Fleet>();
    record_.id = "REC1";
    record_.type = 5;
    record_.password = "ROUTE66";
    comm::Timings t = comm::Timings{}.Scaled(0.01);
    // The modem answers within a few ms; a loaded machine must not turn that into a failure.
    t.modem_ok_ms = 2000;
    t.dial_ms = 3000;
    conn_ = std::make_unique<comm::Connection>(t);
    comm::PortMap ports;
    switch (GetParam()) {
      case Path::kTcp: {
        const int port = fleet_->ListenTcp(*rec_, 0, &err);
        ASSERT_GT(port, 0) << err;
        record_.port = -1;
        record_.ipAddress = 0x7F000001;
        record_.tcpPort = port;
        conn_->SetTcpEndpoint(record_.ipAddress, port);
        selector_ = comm::kTcpSelector;
        break;
      }
      case Path::kPty: {
        ASSERT_FALSE(fleet_->AttachPty(*rec_, (dir_ / "COM3").string(), &err).empty()) << err;
        ports.Set(2, (dir_ / "COM3").string());
        record_.port = 3;
        selector_ = 2;
        break;
      }
      case Path::kModem: {
        DialEntry good;
        good.number = "555-0101";
        good.recorder = rec_.get();
        DialEntry busy;
        busy.number = "555-0199";
        busy.kind = DialEntry::Kind::kBusy;
        ASSERT_FALSE(
            fleet_->AttachModem({good, busy}, 0.01, (dir_ / "COM1").string(), &err).empty())
            << err;
        ports.Set(0, (dir_ / "COM1").string());
        record_.phone = "5550101";
        selector_ = 0;
        break;
      }
    }
    conn_->SetPortMap(ports);
  }
  void TearDown() override {
    if (conn_ && conn_->IsOpen()) conn_->CloseConnection(selector_);
    fleet_.reset();
  }
  int Open() {
    std::optional<std::string> phone;
    if (GetParam() == Path::kModem) phone = record_.phone;
    return comm::Code(conn_->OpenConnection(selector_, 7, phone));
  }

  zeltest::TempFolder tmp_{"e2e"};
  const fs::path dir_ = tmp_.path();
  std::unique_ptr<Recorder> rec_;
  std::unique_ptr<Fleet> fleet_;
  std::unique_ptr<comm::Connection> conn_;
  RecorderRecord record_;
  int selector_ = 0;
};

TEST_P(EndToEnd, PollSequence) {
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(comm::Login(*conn_, selector_, record_), comm::kPollSuccess);

  platform::FakeClock clock(platform::LocalTime{2024, 3, 3, 9, 5, 7, 0, 0});
  EXPECT_EQ(comm::SetClock(*conn_, selector_, record_, clock), comm::kPollSuccess);

  // Poll setup: download, then compare with what the recorder holds.
  ASSERT_EQ(comm::DownloadSetup(*conn_, selector_, record_, dir_ / "new_setupdata.bin"),
            comm::kPollSuccess);
  EXPECT_EQ(ReadAll(dir_ / "new_setupdata.bin"), rec_->SetupImage());
  EXPECT_TRUE(rec_->ClockWasSet());
  const int64_t set = CivilMs(2024, 3, 3, 9, 5, 7);
  EXPECT_GE(rec_->NowMs(), set);
  EXPECT_LT(rec_->NowMs(), set + 10000);

  // Events of a day before the clock setting: the whole day is there.
  ASSERT_EQ(comm::EnterQueryMode(*conn_, selector_, record_), 1);
  platform::LocalTime poll_time{2024, 3, 3, 9, 6, 0, 0, 0};
  ASSERT_EQ(comm::QueryDay(*conn_, selector_, record_,
                           platform::LocalTime{2024, 3, 2, 0, 0, 0, 0, 6}, poll_time, dir_),
            comm::kPollSuccess);
  const fs::path day_file = dir_ / "240302-090600.bin";
  ASSERT_TRUE(fs::exists(day_file));
  std::vector<uint8_t> expect =
      rec_->QueryFile(CivilMs(2024, 3, 2, 0, 0, 0), CivilMs(2024, 3, 2, 23, 59, 59));
  ASSERT_FALSE(expect.empty());
  expect.resize((expect.size() + 127) / 128 * 128, 0);
  EXPECT_EQ(ReadAll(day_file), expect);

  // An interval of the future (after the recorder's clock): an empty file.
  ASSERT_EQ(comm::QueryInterval(*conn_, selector_, record_,
                                platform::LocalTime{2024, 3, 3, 12, 0, 0, 0, 0},
                                platform::LocalTime{2024, 3, 3, 13, 0, 0, 0, 0}, dir_ / "q.bin"),
            comm::kPollSuccess);
  EXPECT_EQ(fs::file_size(dir_ / "q.bin"), 0u);
  // An interval in the past.
  ASSERT_EQ(comm::QueryInterval(*conn_, selector_, record_,
                                platform::LocalTime{2024, 3, 1, 6, 30, 0, 0, 0},
                                platform::LocalTime{2024, 3, 1, 18, 0, 0, 0, 0}, dir_ / "p.bin"),
            comm::kPollSuccess);
  expect = rec_->QueryFile(CivilMs(2024, 3, 1, 6, 30, 0), CivilMs(2024, 3, 1, 18, 0, 0));
  expect.resize((expect.size() + 127) / 128 * 128, 0);
  EXPECT_EQ(ReadAll(dir_ / "p.bin"), expect);
  comm::LeaveQueryMode(*conn_, selector_, record_);

  // Upload a changed database; the next login needs the new password.
  SetupDatabase db(5);
  db.LoadBytes(ReadAll(dir_ / "new_setupdata.bin"));
  db.SetAdministrativePassword("NEWPASS");
  db.SetUnitName("Milepost 12");
  ASSERT_TRUE(db.SaveFile(dir_ / "setupdata.bin"));
  std::string updated;
  ASSERT_EQ(comm::UploadSetup(*conn_, selector_, record_, dir_,
                              [&](const std::string& id, const std::string& pw) {
                                EXPECT_EQ(id, "REC1");
                                updated = pw;
                              }),
            comm::kPollSuccess);
  EXPECT_EQ(updated, "NEWPASS");
  EXPECT_EQ(rec_->Password(), "NEWPASS");
  EXPECT_EQ(rec_->SetupImage(), db.SaveBytes());
  EXPECT_EQ(comm::Logoff(*conn_, selector_, record_), comm::kPollSuccess);
  conn_->CloseConnection(selector_);

  // Second call: the old password is refused, the new one works.
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(comm::Login(*conn_, selector_, record_), comm::kPollWrongPassword);
  conn_->CloseConnection(selector_);
  record_.password = "NEWPASS";
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(comm::Login(*conn_, selector_, record_), comm::kPollSuccess);
  EXPECT_EQ(comm::Logoff(*conn_, selector_, record_), comm::kPollSuccess);
  conn_->CloseConnection(selector_);
  EXPECT_EQ(rec_->Stats().setup_uploads, 1);
  EXPECT_EQ(rec_->Stats().failed_transfers, 0);
}

// Faults need one path only.
class EndToEndTcp : public EndToEnd {};
class EndToEndModem : public EndToEnd {};

TEST_P(EndToEndTcp, SilentRecorderGivesNoLogin) {
  fleet_.reset();
  RecorderConfig c = rec_->config();
  c.no_answer = true;
  std::string err;
  rec_ = Recorder::Create(c, &err);
  fleet_ = std::make_unique<Fleet>();
  const int port = fleet_->ListenTcp(*rec_, 0, &err);
  conn_->SetTcpEndpoint(record_.ipAddress, port);
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(comm::Login(*conn_, selector_, record_), comm::kPollNoLogin);
}

TEST_P(EndToEndTcp, NoisyLineStillDeliversTheSetup) {
  fleet_.reset();
  RecorderConfig c = rec_->config();
  c.duplicate_rate = 0.3;
  std::string err;
  rec_ = Recorder::Create(c, &err);
  fleet_ = std::make_unique<Fleet>();
  const int port = fleet_->ListenTcp(*rec_, 0, &err);
  conn_->SetTcpEndpoint(record_.ipAddress, port);
  ASSERT_EQ(Open(), 0);
  ASSERT_EQ(comm::Login(*conn_, selector_, record_), comm::kPollSuccess);
  ASSERT_EQ(comm::DownloadSetup(*conn_, selector_, record_, dir_ / "setupdata.bin"),
            comm::kPollSuccess);
  EXPECT_EQ(ReadAll(dir_ / "setupdata.bin"), rec_->SetupImage());
}

TEST_P(EndToEndModem, BusyAndNoCarrier) {
  EXPECT_EQ(conn_->OpenConnection(selector_, 7, std::string("5550199")), 2);
  conn_->CloseConnection(selector_);
  EXPECT_EQ(conn_->OpenConnection(selector_, 7, std::string("5550000")), 3) << "no carrier";
  conn_->CloseConnection(selector_);
}

INSTANTIATE_TEST_SUITE_P(Paths, EndToEnd, ::testing::Values(Path::kTcp, Path::kPty, Path::kModem),
                         [](const auto& info) {
                           switch (info.param) {
                             case Path::kTcp:
                               return std::string("Tcp");
                             case Path::kPty:
                               return std::string("Pty");
                             case Path::kModem:
                               return std::string("Modem");
                           }
                           return std::string("x");
                         });
INSTANTIATE_TEST_SUITE_P(Line, EndToEndTcp, ::testing::Values(Path::kTcp));
INSTANTIATE_TEST_SUITE_P(Line, EndToEndModem, ::testing::Values(Path::kModem));

}  // namespace
}  // namespace zel::sim
