// The zelsim program: its start line, a recorder behind it, its end on SIGTERM, its errors; and
// the simulator's model table against the library's tables.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>

#include "sim_test_util.h"
#include "zel/event_file.h"
#include "zel/identifiers.h"
#include "zel/sim/models.h"
#include "zel/testing/temp_folder.h"

namespace zel::sim {
namespace {

struct Child {
  pid_t pid = -1;
  FILE* out = nullptr;
};

// Starts zelsim with `args`; its stdout is read through `out`.
Child Spawn(const std::vector<std::string>& args) {
  int p[2];
  if (::pipe(p) != 0) return {};
  Child c;
  c.pid = ::fork();
  if (c.pid == 0) {
    ::dup2(p[1], 1);
    ::close(p[0]);
    ::close(p[1]);
    std::vector<char*> argv;
    std::string prog = std::string(ZEL_BIN_DIR) + "/zelsim";
    argv.push_back(prog.data());
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(prog.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(p[1]);
  c.out = ::fdopen(p[0], "r");
  return c;
}

std::string Line(FILE* f) {
  char buf[512];
  if (!std::fgets(buf, sizeof buf, f)) return "";
  return buf;
}

int Stop(Child& c) {
  ::kill(c.pid, SIGTERM);
  int status = 0;
  ::waitpid(c.pid, &status, 0);
  std::fclose(c.out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Program, ListensAndEndsOnSigterm) {
  Child c = Spawn({"--model", "KRV-517XL", "--password", "SIMPW", "--tcp", "0", "--scale", "0.01",
                   "--seed", "4"});
  ASSERT_GT(c.pid, 0);
  const std::string first = Line(c.out);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(first, m, std::regex(R"(listening on 127\.0\.0\.1:(\d+))")))
      << first;
  const int port = std::stoi(m[1]);
  ASSERT_GT(port, 0);
  auto cl = simtest::Client::Tcp(port);
  ASSERT_TRUE(cl.ok());
  cl.Send("\x1b\x1b\x1b\x1b\x1b\x1bXY\x1b");
  EXPECT_TRUE(cl.WaitFor("Enter password: ", 2000));
  cl.Send("SIMPW\r");
  EXPECT_TRUE(cl.WaitFor("KRV517XL 1.00 binary recorder", 2000));
  cl.Close();
  EXPECT_EQ(Stop(c), 0);
}

TEST(Program, FleetFromAConfigFile) {
  zeltest::TempFolder tmp("prog");
  const std::filesystem::path dir = tmp.path();
  const std::string conf = (dir / "f.conf").string();
  {
    FILE* f = std::fopen(conf.c_str(), "w");
    std::fprintf(f,
                 "scale = 0.01\n[recorder one]\nmodel = 0\npassword = A\ntcp = 0\n"
                 "pty = %s/COM3\nphone = 12\n[modem m]\npty = %s/COM1\nbusy = 13\n",
                 dir.c_str(), dir.c_str());
    std::fclose(f);
  }
  Child c = Spawn({"--config", conf});
  std::string text;
  for (int i = 0; i < 5; ++i) {
    std::string l = Line(c.out);
    text += l;
    if (l.find("ready") != std::string::npos || l.empty()) break;
  }
  EXPECT_NE(text.find("one (KRV-19XT) listening on 127.0.0.1:"), std::string::npos) << text;
  EXPECT_NE(text.find("direct line on " + (dir / "COM3").string() + " -> /dev/pts/"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("modem on " + (dir / "COM1").string()), std::string::npos) << text;
  auto modem = simtest::Client::Serial((dir / "COM1").string());
  modem.Send("ATDT13\r");
  EXPECT_TRUE(modem.WaitFor("BUSY", 2000));
  modem.Close();
  EXPECT_EQ(Stop(c), 0);
}

TEST(Program, RefusesBadArguments) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--model", "KPD-29A", "--tcp", "0"},
           {"--model", "nonsense", "--tcp", "0"},
           {"--tcp", "0"},
           {"--model", "3", "--tcp", "0", "--password", "TOOLONGPW"},
           {"--model", "3", "--tcp", "0", "--setup", "/nonexistent/setupdata.bin"},
           {"--config", "/nonexistent/fleet.conf"}}) {
    Child c = Spawn(args);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    std::fclose(c.out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << args[1];
  }
}

// The simulator keeps its own tables; they must agree with the library's.
TEST(ModelTable, AgreesWithTheLibrary) {
  for (int type = 0; type < 19; ++type) {
    SCOPED_TRACE(type);
    const SimModel* m = FindSimModel(type);
    if (type == 17) {
      EXPECT_EQ(m, nullptr);
      continue;
    }
    ASSERT_NE(m, nullptr);
    const InputCounts n = InputCountsOf(type);
    EXPECT_EQ(m->digital, n.digital);
    EXPECT_EQ(m->analog, n.analog);
    EXPECT_EQ(m->virtuals, n.virtuals);
    EXPECT_EQ(m->timers, n.timers);
    EXPECT_EQ(m->FirstSystem(), FirstSystemInput(type));
    EXPECT_EQ(m->InputCount(), TotalInputCount(type));
    const EventLayout* lay = FindEventLayout(EventFileTypeOfModel(type));
    ASSERT_NE(lay, nullptr);
    const FileLayout& f = *m->layout;
    EXPECT_STREQ(f.header_line, lay->headerLine);
    EXPECT_EQ(f.ticks_per_second, lay->ticksPerSecond);
    EXPECT_EQ(f.n_inputs, lay->inputCount);
    EXPECT_EQ(f.FirstRecordOffset(), lay->firstRecord);
    EXPECT_EQ(f.record_size, lay->recordSize);
    EXPECT_EQ(f.state_at, lay->stateOffset);
    EXPECT_EQ(f.input_at, lay->inputOffset);
    EXPECT_EQ(f.input_width, lay->inputBytes);
    EXPECT_EQ(f.value_count, lay->valueCount);
    if (f.value_count > 0) {
      EXPECT_EQ(f.values_at, lay->valueOffset);
    }
    EXPECT_EQ(f.special_at, lay->specialOffset);
    EXPECT_EQ(f.spare_at, lay->spareOffset);
    EXPECT_EQ(f.date_at, lay->dateOffset);
    EXPECT_EQ(f.time_at, lay->timeOffsets[0]);
    if (f.time_kind == TimeField::kSplit24) {
      EXPECT_EQ(f.time_mid_at, lay->timeOffsets[1]);
      EXPECT_EQ(f.time_hi_at, lay->timeOffsets[2]);
    } else {
      EXPECT_EQ(lay->timeOffsets[1], f.time_at + 1);
    }
    EXPECT_EQ(f.time_kind == TimeField::k32, lay->timeBytes == 4);
  }
}

TEST(ModelTable, CivilDates) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1) - DaysFromCivil(2000, 2, 28), 2) << "2000 is a leap year";
  EXPECT_EQ(DaysFromCivil(2100, 3, 1) - DaysFromCivil(2100, 2, 28), 1) << "2100 is not";
  for (int64_t d : {-1LL, 0LL, 10956LL, 11016LL, 47481LL}) {
    int y, m, day;
    CivilFromDays(d, y, m, day);
    EXPECT_EQ(DaysFromCivil(y, m, day), d);
  }
  EXPECT_TRUE(ValidDate(2024, 2, 29));
  EXPECT_FALSE(ValidDate(2023, 2, 29));
  EXPECT_FALSE(ValidDate(2024, 4, 31));
  EXPECT_FALSE(ValidDate(2024, 0, 1));
  EXPECT_EQ(PackDate(2024, 3, 3), (24 << 9) | (3 << 5) | 3);
}

}  // namespace
}  // namespace zel::sim
