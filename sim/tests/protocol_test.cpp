// The simulated recorder's command protocol over TCP, seen from a raw socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>

#include "sim_test_util.h"
#include "zel/event_file.h"
#include "zel/setup_database.h"
#include "zel/sim/server.h"

namespace zel::sim {
namespace {

const std::string kWake = "\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b";
const std::string kPrompt = "Enter password: ";

class SimOverTcp : public ::testing::Test {
 protected:
  void Start(RecorderConfig c) {
    c.scale = c.scale == 1.0 ? 0.01 : c.scale;
    std::string err;
    rec_ = Recorder::Create(c, &err);
    ASSERT_NE(rec_, nullptr) << err;
    port_ = fleet_->ListenTcp(*rec_, 0, &err);
    ASSERT_GT(port_, 0) << err;
  }
  void Start(int type = 3, const std::string& password = "SECRET", uint64_t seed = 1) {
    RecorderConfig c;
    c.type = type;
    c.password = password;
    c.seed = seed;
    Start(c);
  }
  simtest::Client Connect() {
    simtest::Client c = simtest::Client::Tcp(port_);
    EXPECT_TRUE(c.ok());
    return c;
  }
  // Wake-up and password; true when logged in (the main menu came).
  bool Login(simtest::Client& c, const std::string& password) {
    c.Send(kWake);
    if (!c.WaitFor(kPrompt, 2000)) return false;
    c.Send(password + "\r");
    return c.WaitFor("> ", 2000);
  }
  bool EnterQuery(simtest::Client& c) {
    c.Send("|");
    return c.WaitFor("?", 2000);
  }
  // A query and its XMODEM answer.
  simtest::ReceiveResult Query(simtest::Client& c, const std::string& command) {
    c.ReadQuiet(20);  // the "?" after an earlier transfer, as the manager flushes its input
    c.Send(command);
    // The recorder needs a moment to prepare the file; the receiver's 'C' waits for it.
    return simtest::TestReceive(c);
  }

  // A fresh fleet for the next recorder of a test (the old one's threads end first).
  void Restart() {
    fleet_ = std::make_unique<Fleet>();
    rec_.reset();
  }

  std::unique_ptr<Recorder> rec_;  // outlives the fleet that serves it
  std::unique_ptr<Fleet> fleet_ = std::make_unique<Fleet>();
  int port_ = 0;
};

TEST_F(SimOverTcp, WakeUpGivesThePromptAndNothingElseDoes) {
  Start();
  auto c = Connect();
  c.Send("hello\r\x1b\x1bXX\x1b");  // no "XY" before the ESC: the recorder stays silent
  EXPECT_EQ(c.ReadQuiet(150), "");
  c.Send(kWake);
  std::string seen;
  EXPECT_TRUE(c.WaitFor(kPrompt, 2000, &seen));
  EXPECT_EQ(seen, kPrompt);
}

TEST_F(SimOverTcp, WrongPasswordPromptsAgainRightOneLogsIn) {
  Start(3, "SECRET");
  auto c = Connect();
  c.Send(kWake);
  ASSERT_TRUE(c.WaitFor(kPrompt, 2000));
  c.Send("secret\r");  // case matters
  EXPECT_TRUE(c.WaitFor(kPrompt, 2000));
  c.Send("SECRETX\r");
  EXPECT_TRUE(c.WaitFor(kPrompt, 2000));
  c.Send("SECRET\r");
  std::string seen;
  EXPECT_TRUE(c.WaitFor("> ", 2000, &seen));
  seen += c.ReadQuiet(100);
  EXPECT_EQ(seen.find(kPrompt), std::string::npos);
  EXPECT_EQ(rec_->Stats().bad_passwords, 2);
  EXPECT_EQ(rec_->Stats().logins, 1);
}

TEST_F(SimOverTcp, FactoryPasswordWhenNoneGiven) {
  Start(3, "");
  EXPECT_EQ(rec_->Password(), "QUILLMAN");
  auto c = Connect();
  EXPECT_TRUE(Login(c, "QUILLMAN"));
}

TEST_F(SimOverTcp, LogoffThenWakeUpAgain) {
  Start();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "SECRET"));
  c.Send("XY");
  EXPECT_TRUE(c.WaitFor("Logged off", 2000));
  // A second wake-up on the same line (also from inside the menu) prompts again.
  c.Send(kWake);
  EXPECT_TRUE(c.WaitFor(kPrompt, 2000));
  c.Send("SECRET\r");
  ASSERT_TRUE(c.WaitFor("> ", 2000));
  c.Send(kWake);
  EXPECT_TRUE(c.WaitFor(kPrompt, 2000));
}

TEST_F(SimOverTcp, SetupDownloadEqualsTheRecordersDatabase) {
  for (int type : {0, 3, 7, 18}) {
    SCOPED_TRACE(type);
    Restart();
    Start(type, "PW" + std::to_string(type));
    auto c = Connect();
    ASSERT_TRUE(Login(c, "PW" + std::to_string(type)));
    c.Send("TD");
    c.ReadQuiet(60);  // the manager waits for silence before its 'C'
    auto r = simtest::TestReceive(c);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.data, rec_->SetupImage());
    SetupDatabase db(type);
    ASSERT_EQ(r.data.size(), db.WrittenLength());
    db.LoadBytes(r.data);
    EXPECT_EQ(db.AdministrativePassword(), "PW" + std::to_string(type));
    SetupDatabase factory(type);
    factory.RestoreFactoryDefaults();
    factory.SetAdministrativePassword("PW" + std::to_string(type));
    EXPECT_TRUE(db.Equals(factory));
    // Back to the menu as after every setup transfer.
    c.Send("\r\x1b\x1b");
    EXPECT_TRUE(c.WaitFor("> ", 2000));
  }
}

TEST_F(SimOverTcp, SetupUploadChangesThePassword) {
  Start(5, "OLDPW");
  auto c = Connect();
  ASSERT_TRUE(Login(c, "OLDPW"));
  c.Send("TU");
  std::string seen = c.ReadQuiet(60);
  EXPECT_EQ(seen.find('C'), std::string::npos) << "no request before Y";
  c.Send("Y");
  ASSERT_TRUE(c.WaitFor("CC", 2000)) << "repeated 'C' requests";
  SetupDatabase db(5);
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword("NEWPW");
  db.SetUnitName("Uploaded unit");
  // A bad first block and a repeated block must not spoil the stored database.
  simtest::SendOptions o;
  o.corrupt_first = true;
  o.duplicate = true;
  ASSERT_TRUE(simtest::TestSend(c, db.SaveBytes(), o));
  EXPECT_TRUE(c.WaitFor("Setup database received", 2000));
  EXPECT_EQ(rec_->Password(), "NEWPW");
  SetupDatabase now(5);
  now.LoadBytes(rec_->SetupImage());
  EXPECT_TRUE(now.Equals(db));
  c.Close();
  auto d = Connect();
  d.Send(kWake);
  ASSERT_TRUE(d.WaitFor(kPrompt, 2000));
  d.Send("OLDPW\r");
  EXPECT_TRUE(d.WaitFor(kPrompt, 2000)) << "the old password no longer works";
  d.Send("NEWPW\r");
  EXPECT_TRUE(d.WaitFor("Uploaded unit", 2000));
}

TEST_F(SimOverTcp, ShortOrEmptyUploadKeepsTheDatabase) {
  Start(3, "KEEP");
  const auto before = rec_->SetupImage();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "KEEP"));
  for (size_t size : {size_t{0}, size_t{128}, before.size() - 256}) {
    SCOPED_TRACE(size);
    c.Send("TU");
    c.ReadQuiet(50);
    c.Send("Y");
    ASSERT_TRUE(c.WaitFor("CC", 2000));
    std::vector<uint8_t> part(before.begin(), before.begin() + static_cast<long>(size));
    ASSERT_TRUE(simtest::TestSend(c, part));
    EXPECT_TRUE(c.WaitFor("not changed", 2000));
  }
  EXPECT_EQ(rec_->SetupImage(), before);
  EXPECT_EQ(rec_->Password(), "KEEP");
  EXPECT_EQ(rec_->Stats().rejected_uploads, 3);
}

TEST_F(SimOverTcp, SetClockSequenceSetsTheRecorderClock) {
  Start();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "SECRET"));
  // 09:05:07 on 3 March 2024, as the station manager sends it.
  c.Send("ST9\x1b[C5\x1b[C7\x1b[B24\x1b[D3\x1b[D3\r\x1b\x1bY\x1b\x1b");
  ASSERT_TRUE(c.WaitFor("Clock set", 2000));
  const int64_t set = CivilMs(2024, 3, 3, 9, 5, 7);
  EXPECT_GE(rec_->NowMs(), set);
  EXPECT_LT(rec_->NowMs(), set + 5000);
  // Events are recorded only up to the recorder's present.
  ASSERT_TRUE(EnterQuery(c));
  auto r = Query(c, "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  ASSERT_TRUE(r.ok) << r.error;
  zel::EventRecordFile f;
  ASSERT_EQ(f.OpenMemory(r.data.data(), r.data.size()), zel::EventRecordFile::OpenResult::kOk);
  zel::EventRecord e;
  int n = 0;
  while (f.Next(e)) {
    ++n;
    EXPECT_LE(e.time, (9u * 3600 + 5 * 60 + 8) * 100);
  }
  EXPECT_GT(n, 0);
}

TEST_F(SimOverTcp, BadClockEntryLeavesTheClock) {
  Start();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "SECRET"));
  const int64_t before = rec_->NowMs();
  c.Send("ST25\x1b[C5\x1b[C7\x1b[B24\x1b[D3\x1b[D2\r\x1b\x1bY\x1b\x1b");  // hour 25
  EXPECT_TRUE(c.WaitFor("clock not changed", 2000));
  c.Send("ST9\x1b[C5\x1b[C7\x1b[B23\x1b[D29\x1b[D2\r\x1b\x1bY\x1b\x1b");  // 29 Feb 2023
  EXPECT_TRUE(c.WaitFor("clock not changed", 2000));
  EXPECT_FALSE(rec_->ClockWasSet());
  EXPECT_LT(std::llabs(rec_->NowMs() - before), 10000);
}

TEST_F(SimOverTcp, OneDayQueryHasTheModelsLayoutAndStaysInTheDay) {
  const std::vector<int> types = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18};
  for (int type : types) {
    SCOPED_TRACE("type " + std::to_string(type));
    Restart();
    Start(type, "PW", 42);
    auto c = Connect();
    ASSERT_TRUE(Login(c, "PW"));
    ASSERT_TRUE(EnterQuery(c));
    auto r = Query(c, "A03-03-24 0:0:0 03-03-24 23:59:59\r");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_FALSE(r.empty);
    EXPECT_EQ(r.data.size() % 128, 0u);
    const zel::EventFileType ft = zel::EventFileTypeOfModel(type);
    const zel::EventLayout* lay = zel::FindEventLayout(ft);
    ASSERT_NE(lay, nullptr);
    const std::string line(lay->headerLine);
    ASSERT_GE(r.data.size(), line.size());
    EXPECT_EQ(std::string(r.data.begin(), r.data.begin() + static_cast<long>(line.size())), line);
    zel::EventRecordFile f;
    ASSERT_EQ(f.OpenMemory(r.data.data(), r.data.size()), zel::EventRecordFile::OpenResult::kOk);
    EXPECT_EQ(f.Type(), ft);
    EXPECT_EQ(f.Interval().startDate, (24 << 9) | (3 << 5) | 3);
    EXPECT_EQ(f.Interval().startTime, 0u);
    EXPECT_EQ(f.Interval().endDate, (24 << 9) | (3 << 5) | 3);
    EXPECT_EQ(f.Interval().endTime, 86399u * static_cast<uint32_t>(lay->ticksPerSecond));
    const std::vector<uint8_t> initial = f.InitialStates();
    zel::EventRecord e;
    int n = 0, timers = 0, on = 0;
    uint32_t last = 0;
    bool signed_value = false;
    const SimModel& m = *FindSimModel(type);
    while (f.Next(e)) {
      ++n;
      EXPECT_EQ(e.date, (24 << 9) | (3 << 5) | 3);
      EXPECT_LT(e.time, 86400u * static_cast<uint32_t>(lay->ticksPerSecond));
      EXPECT_GE(e.time, last) << "records in time order";
      last = e.time;
      EXPECT_GE(e.input, 0);
      EXPECT_LT(e.input, m.InputCount());
      if (e.input >= m.FirstTimer() && e.input < m.FirstTimer() + m.timers) {
        ++timers;
        EXPECT_GT(e.special, 0) << "a timer reports its duration";
      }
      if (zel::StateLevel(*lay, e.state) != 0) ++on;
      for (int k = 0; k < e.valueCount; ++k) {
        EXPECT_GE(e.values[static_cast<size_t>(k)], -256);
        EXPECT_LE(e.values[static_cast<size_t>(k)], 255);
        if (e.values[static_cast<size_t>(k)] < 0) signed_value = true;
      }
    }
    EXPECT_GT(n, 5);
    EXPECT_GT(on, 0);
    EXPECT_LT(on, n);
    if (lay->valueCount > 0) {
      EXPECT_TRUE(signed_value) << "readings of both signs";
    }
    if (m.timers > 0) {
      EXPECT_GT(timers, 0);
    }
    // A whole day: every input leaves its normal level and comes back to it.
    EXPECT_EQ(f.States(), initial);
    EXPECT_GT(std::count(initial.begin(), initial.end(), 1), 0) << "some inputs are normally on";
    c.Send("\x1b\x1b");
    EXPECT_TRUE(c.WaitFor("> ", 2000));
  }
}

TEST_F(SimOverTcp, SameSeedSameFileOtherSeedOtherFile) {
  auto fetch = [&](uint64_t seed, const std::string& cmd) {
    Restart();
    Start(5, "PW", seed);
    auto c = Connect();
    EXPECT_TRUE(Login(c, "PW"));
    EXPECT_TRUE(EnterQuery(c));
    return Query(c, cmd).data;
  };
  const std::string day = "A11-20-25 0:0:0 11-20-25 23:59:59\r";
  auto a = fetch(9, day);
  auto b = fetch(9, day);
  auto other = fetch(10, day);
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a, b);
  EXPECT_NE(a, other);
  // An interval inside the day holds exactly the day's records of that interval.
  auto part = fetch(9, "A11-20-25 6:0:0 11-20-25 17:59:59\r");
  zel::EventRecordFile whole, half;
  ASSERT_EQ(whole.OpenMemory(a.data(), a.size()), zel::EventRecordFile::OpenResult::kOk);
  ASSERT_EQ(half.OpenMemory(part.data(), part.size()), zel::EventRecordFile::OpenResult::kOk);
  std::vector<zel::EventRecord> expect, got;
  zel::EventRecord e;
  std::vector<uint8_t> states_at_6;
  while (whole.Next(e)) {
    if (e.time >= 6u * 360000 && e.time < 18u * 360000) {
      if (expect.empty()) states_at_6 = whole.States();
      expect.push_back(e);
    }
  }
  while (half.Next(e)) got.push_back(e);
  ASSERT_FALSE(expect.empty());
  EXPECT_EQ(got, expect);
  EXPECT_EQ(half.Interval().startTime, 6u * 360000);
  EXPECT_EQ(half.Interval().endTime, (18u * 3600 - 1) * 100);
}

TEST_F(SimOverTcp, InitialStatesFollowTheEventsBeforeTheStart) {
  Start(3, "PW", 5);
  const int64_t day = DaysFromCivil(2025, 6, 1) * kMsPerDay;
  const auto events = rec_->events().DayEvents(day / kMsPerDay);
  ASSERT_GT(events.size(), 4u);
  // Just after the third event the states differ from the day's start in that input.
  const SimEvent& third = events[2];
  auto before = rec_->events().StatesAt(third.when_ms);
  auto after = rec_->events().StatesAt(third.when_ms + 1);
  if (third.input < rec_->model().layout->n_inputs) {
    EXPECT_EQ(after[static_cast<size_t>(third.input)], third.state);
  }
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i];
  EXPECT_LE(changed, 1);
}

TEST_F(SimOverTcp, EmptyIntervalsAnswerEotOnly) {
  Start();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "SECRET"));
  ASSERT_TRUE(EnterQuery(c));
  // The future holds no events; an end before the start holds none either.
  for (const char* cmd :
       {"A01-01-99 0:0:0 01-01-99 23:59:59\r", "A03-03-24 12:0:0 03-03-24 11:0:0\r"}) {
    SCOPED_TRACE(cmd);
    auto r = Query(c, cmd);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.empty);
    EXPECT_TRUE(r.data.empty());
  }
  EXPECT_EQ(rec_->Stats().empty_queries, 2);
  // Still in query mode: a real day works afterwards.
  auto r = Query(c, "A3-3-24 0:0:0 3-3-24 23:59:59\r");
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.empty);
}

TEST_F(SimOverTcp, QuietRecorderHasNoEvents) {
  RecorderConfig c;
  c.type = 3;
  c.password = "PW";
  c.events_per_day = 0;
  Start(c);
  auto cl = Connect();
  ASSERT_TRUE(Login(cl, "PW"));
  ASSERT_TRUE(EnterQuery(cl));
  auto r = Query(cl, "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.empty);
}

TEST_F(SimOverTcp, BadQueryCommandsAreRefused) {
  Start();
  auto c = Connect();
  ASSERT_TRUE(Login(c, "SECRET"));
  ASSERT_TRUE(EnterQuery(c));
  for (const char* cmd : {"A13-01-24 0:0:0 13-01-24 23:59:59\r", "A02-30-24 0:0:0 03-01-24 0:0:0\r",
                          "A03-03-24 24:0:0 03-03-24 23:59:59\r", "A03-03-24 0:0:0\r",
                          "A03-03-124 0:0:0 03-03-24 0:0:0\r", "Agarbage\r"}) {
    SCOPED_TRACE(cmd);
    c.Send(cmd);
    EXPECT_TRUE(c.WaitFor("Invalid command", 2000));
  }
  EXPECT_EQ(rec_->Stats().queries, 0);
  // ESC ESC leaves query mode.
  c.Send("\x1b\x1b");
  EXPECT_TRUE(c.WaitFor("> ", 2000));
}

TEST_F(SimOverTcp, LiveLinesHaveTheLiveFormat) {
  for (int type : {0, 7}) {
    SCOPED_TRACE(type);
    Restart();
    Start(type, "PW", 3);
    auto c = Connect();
    ASSERT_TRUE(Login(c, "PW"));
    ASSERT_TRUE(EnterQuery(c));
    c.Send("L");
    std::string text;
    for (int i = 0; i < 200 && std::count(text.begin(), text.end(), '\r') < 120; ++i)
      c.WaitFor("\r\n", 500, &text);
    const SimModel& m = *FindSimModel(type);
    std::regex state_line(R"((\d+) (\d+))"), value_line(R"((\d+):(-?\d+(\.\d)?))");
    int states = 0, values = 0;
    size_t pos = 0;
    while (true) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) break;
      std::string line = text.substr(pos, end - pos);
      pos = end + 2;
      std::smatch mt;
      if (std::regex_match(line, mt, state_line)) {
        ++states;
        EXPECT_GE(std::stoi(mt[1]), 1);
        EXPECT_LE(std::stoi(mt[1]), m.Positions());
        EXPECT_LE(std::stoi(mt[2]), m.three_state ? 3 : 1);
      } else if (std::regex_match(line, mt, value_line)) {
        ++values;
        EXPECT_GE(std::stoi(mt[1]), 1);
        EXPECT_LE(std::stoi(mt[1]), m.analog);
      } else {
        ADD_FAILURE() << "not a live line: '" << line << "'";
      }
    }
    EXPECT_GE(states, 5);
    EXPECT_GE(values, m.analog);
    c.Send("\x1b");
    EXPECT_TRUE(c.WaitFor("?", 2000));
  }
}

TEST_F(SimOverTcp, RealTimeLinesHaveTheRealTimeFormat) {
  for (int type : {5, 16, 0}) {
    SCOPED_TRACE(type);
    Restart();
    Start(type, "PW", 4);
    auto c = Connect();
    ASSERT_TRUE(Login(c, "PW"));
    ASSERT_TRUE(EnterQuery(c));
    c.Send("R");
    std::string text;
    for (int i = 0; i < 400 && std::count(text.begin(), text.end(), 'T') < 3; ++i)
      c.WaitFor("\r\n", 500, &text);
    for (int i = 0; i < 100 && std::count(text.begin(), text.end(), '\r') < 20 + 4256 / 64; ++i)
      c.WaitFor("\r\n", 500, &text);
    c.Send("XY");
    const SimModel& m = *FindSimModel(type);
    const int64_t ticks_per_day = 86400LL * m.layout->ticks_per_second;
    std::regex mark(R"(T(\d+))"), change(R"((\d+) ([0-2]).(\d+))"), block(R"((\d+):(\d+))");
    std::vector<int> covered(static_cast<size_t>(m.Positions()), 0);
    int marks = 0, changes = 0;
    size_t pos = 0;
    while (true) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) break;
      std::string line = text.substr(pos, end - pos);
      pos = end + 2;
      EXPECT_LE(line.size(), 79u) << "the plotter stores 79 characters of a line";
      std::smatch mt;
      if (std::regex_match(line, mt, mark)) {
        ++marks;
        EXPECT_LT(std::stoll(mt[1]), ticks_per_day);
      } else if (std::regex_match(line, mt, change)) {
        ++changes;
        EXPECT_GE(std::stoi(mt[1]), 1);
        EXPECT_LE(std::stoi(mt[1]), m.Positions());
        if (!m.three_state) {
          EXPECT_NE(mt[2], "2");
        }
        EXPECT_LT(std::stoll(mt[3]), ticks_per_day);
      } else if (std::regex_match(line, mt, block)) {
        const int first = std::stoi(mt[1]);
        const std::string digits = mt[2];
        for (size_t k = 0; k < digits.size(); ++k) {
          const int p = first - 1 + static_cast<int>(k);
          ASSERT_LT(p, m.Positions());
          ++covered[static_cast<size_t>(p)];
          EXPECT_LE(digits[k], m.three_state ? '2' : '1');
        }
      } else if (line.find("Logged off") == std::string::npos && !line.empty()) {
        ADD_FAILURE() << "not a real-time line: '" << line << "'";
      }
    }
    EXPECT_GE(marks, 3);
    EXPECT_GE(changes, 2);
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), m.Positions())
        << "block lines give every input once";
  }
}

TEST_F(SimOverTcp, GarbageNeverStopsTheRecorder) {
  Start();
  std::mt19937 rng(77);
  for (int round = 0; round < 4; ++round) {
    auto c = Connect();
    if (round >= 1) {
      ASSERT_TRUE(Login(c, "SECRET"));
    }
    if (round >= 2) {
      ASSERT_TRUE(EnterQuery(c));
    }
    if (round == 3) c.Send("A");  // inside a query line
    std::vector<uint8_t> junk(20000);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    // No 'T' 'U' / 'T' 'D' pairs starting transfers that would wait for a peer.
    for (size_t i = 1; i < junk.size(); ++i)
      if (junk[i - 1] == 'T' && (junk[i] == 'D' || junk[i] == 'U')) junk[i] = 'x';
    c.Send(junk.data(), junk.size());
    c.ReadQuiet(100, 3000);
    c.Close();
  }
  auto c = Connect();
  EXPECT_TRUE(Login(c, "SECRET"));
  // A password far too long is cut, not stored without end.
  auto d = Connect();
  d.Send(kWake);
  ASSERT_TRUE(d.WaitFor(kPrompt, 2000));
  d.Send(std::string(100000, 'p') + "\r");
  EXPECT_TRUE(d.WaitFor(kPrompt, 5000));
}

TEST_F(SimOverTcp, ConnectionsAreIndependent) {
  Start();
  auto a = Connect();
  auto b = Connect();
  ASSERT_TRUE(Login(a, "SECRET"));
  b.Send(kWake);
  ASSERT_TRUE(b.WaitFor(kPrompt, 2000));
  // a is in query mode while b is still at its prompt.
  ASSERT_TRUE(EnterQuery(a));
  b.Send("SECRET\r");
  EXPECT_TRUE(b.WaitFor("> ", 2000));
  auto r = Query(a, "A03-03-24 0:0:0 03-03-24 23:59:59\r");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(rec_->Stats().connections, 2);
}

TEST_F(SimOverTcp, NoAnswerAndWrongPromptFaults) {
  RecorderConfig c;
  c.type = 3;
  c.password = "PW";
  c.no_answer = true;
  Start(c);
  auto a = Connect();
  a.Send(kWake);
  EXPECT_EQ(a.ReadQuiet(200), "");
  Restart();
  c.no_answer = false;
  c.prompt = "Password: ";
  Start(c);
  auto b = Connect();
  b.Send(kWake);
  std::string seen;
  EXPECT_TRUE(b.WaitFor("Password: ", 2000, &seen));
  EXPECT_EQ(seen.find(kPrompt), std::string::npos);
}

}  // namespace
}  // namespace zel::sim
