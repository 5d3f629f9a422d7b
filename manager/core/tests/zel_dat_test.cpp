#include "zel/core/zel_dat.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <thread>

#include "zel/platform/station_lock.h"
#include "zel/testing/temp_folder.h"

namespace zel::core {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

RecorderRecord Rec(std::string id, RecorderType type) {
  RecorderRecord r;
  r.id = std::move(id);
  r.type = type;
  return r;
}

StationSettings SampleSettings() {
  StationSettings s;
  s.directPort = 3;
  s.directBaud = 9;
  s.port = 4;
  s.baud = 2;
  s.preferedConnection = 1;
  s.modemInit = "AT&F E0 V1";
  s.dialPrefix = "9W,";
  s.dataFolder = "/srv/zel data/=eq";
  s.autoDelete = 2;
  s.retries = 10;
  s.clockSync = 1;
  s.useTxtFile = 1;
  s.makeText = 1;
  for (int d = 0; d < 7; ++d) s.schedule[static_cast<size_t>(d)] = {d % 2, d * 13 + 1};
  return s;
}

std::vector<RecorderRecord> SampleRecorders() {
  RecorderRecord a = Rec("North Yard", 3);
  a.port = -1;
  a.ipAddress = 0xC0A80114;  // 192.168.1.20
  a.tcpPort = 5000;
  RecorderRecord b = Rec("Yard,East", 9);  // comma in the ID, a model outside the type list
  b.phone = "5551234";
  b.password = "pw,1";
  b.port = 7;
  b.clockSetDay = 8800;
  b.reserved = {-5, 2, -3, 4, 2147483647};  // the first is written unsigned
  b.ipAddress = 0xFFFFFFFF;
  RecorderRecord c = Rec("KPD", 17);
  c.tcpPort = -1;
  RecorderRecord d = Rec("Odd type", 42);  // unknown types keep their number
  d.listState = 3;                         // never saved
  return {a, b, c, d};
}

TEST(ZelDatFile, MissingFileGivesDefaults) {
  zeltest::TempFolder dir("zeldat");
  ZelDatLoad load = LoadZelDat(dir.path() / "zel.dat");
  EXPECT_FALSE(load.fileFound);
  const StationSettings& s = load.contents.settings;
  EXPECT_EQ(s.directPort, 0);
  EXPECT_EQ(s.directBaud, 7);
  EXPECT_EQ(s.port, 1);
  EXPECT_EQ(s.baud, 8);
  EXPECT_EQ(s.preferedConnection, 0);
  EXPECT_EQ(s.autoDelete, 1);
  EXPECT_EQ(s.retries, 1);
  EXPECT_TRUE(s.modemInit.empty() && s.dialPrefix.empty() && s.dataFolder.empty());
  for (const auto& d : s.schedule) EXPECT_EQ(d, (ScheduleDay{0, 0}));
  EXPECT_TRUE(load.contents.recorders.empty());
  EXPECT_FALSE(load.contents.scheduleLoaded);
}

TEST(ZelDatFile, KeysMissingFromAnExistingFileAreZero) {
  ZelDatContents c = ParseZelDat("DataFolder=/x\r\n");
  EXPECT_EQ(c.settings.directBaud, 0);
  EXPECT_EQ(c.settings.port, 0);
  EXPECT_EQ(c.settings.baud, 0);
  EXPECT_EQ(c.settings.autoDelete, 0);
  EXPECT_EQ(c.settings.retries, 0);
  EXPECT_EQ(c.settings.dataFolder, "/x");
  // Retries 0 would poll nothing; the load brings it into 1..10 and says so.
  ApplyZelDatLimits(c);
  EXPECT_EQ(c.settings.retries, 1);
}

TEST(ZelDatFile, SaveAndLoadRoundTrip) {
  zeltest::TempFolder dir("zeldat");
  fs::path file = dir.path() / "zel.dat";
  StationSettings s = SampleSettings();
  std::vector<RecorderRecord> recs = SampleRecorders();
  std::string error;
  ASSERT_TRUE(SaveZelDat(file, s, recs, &error)) << error;
  ZelDatLoad load = LoadZelDat(file);
  ASSERT_TRUE(load.fileFound);
  EXPECT_TRUE(load.adjusted.empty());
  EXPECT_TRUE(load.contents.scheduleLoaded);
  EXPECT_EQ(load.contents.settings, s);
  ASSERT_EQ(load.contents.recorders.size(), recs.size());
  recs[3].listState = 0;
  for (size_t i = 0; i < recs.size(); ++i) EXPECT_EQ(load.contents.recorders[i], recs[i]) << i;
  EXPECT_EQ(load.contents.recorders[1].type, 9);
  EXPECT_EQ(load.contents.recorders[2].type, 17);
  EXPECT_EQ(load.contents.recorders[1].id, "Yard,East");
  // Saving what was loaded gives the same bytes.
  EXPECT_EQ(FormatZelDat(load.contents.settings, load.contents.recorders), ReadAll(file));
}

TEST(ZelDatFile, WrittenTextHasFixedOrderAndCrLf) {
  StationSettings s = StationSettings::Defaults();
  s.modemInit = "ATZ";
  s.schedule[0] = {1, 9};
  s.schedule[6] = {1, 95};
  RecorderRecord r = Rec("A", 0);
  r.reserved[0] = -1;
  std::string text = FormatZelDat(s, {r});
  EXPECT_EQ(text,
            "DirectPort=0\r\nDirectBaud=7\r\nPort=1\r\nBaud=8\r\nPreferedConnection=0\r\n"
            "ModemInit=ATZ\r\nDialPrefix=\r\nDataFolder=\r\nAutoDelete=1\r\nRetries=1\r\n"
            "ClockSync=0\r\nUseTxtFile=0\r\nMakeText=0\r\n"
            "Schedule=1,9,0,0,0,0,0,0,0,0,0,0,1,95\r\n"
            "Recorder=\"A\",\"\",\"\",0,4294967295,0,0,0,0,0,0,0,0\r\n");
  // LF-only and CRLF files read alike.
  std::string lf = text;
  for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.erase(p, 1);
  ZelDatContents a = ParseZelDat(text), b = ParseZelDat(lf);
  EXPECT_EQ(a.settings, b.settings);
  EXPECT_EQ(a.recorders, b.recorders);
  EXPECT_EQ(a.recorders.at(0).reserved[0], -1);
}

TEST(ZelDatFile, NorthYardLine) {
  RecorderRecord r = Rec("North Yard", 3);
  r.port = -1;
  r.ipAddress = (192u << 24) | (168u << 16) | (1u << 8) | 20u;
  r.tcpPort = 5000;
  EXPECT_EQ(FormatRecorderLine(r),
            "Recorder=\"North Yard\",\"\",\"\",3,0,0,0,0,0,-1,0,-1062731500,5000");
  ZelDatContents c = ParseZelDat(FormatRecorderLine(r) + "\r\n");
  ASSERT_EQ(c.recorders.size(), 1u);
  EXPECT_EQ(c.recorders[0], r);
}

TEST(ZelDatFile, AddressesPrintedSignedAndReadEitherWay) {
  RecorderRecord r = Rec("ip", 0);
  r.ipAddress = 0;
  EXPECT_NE(FormatRecorderLine(r).find(",0,0,0,0,0,0,0,0,0"), std::string::npos);
  EXPECT_EQ(FormatRecorderLine(r).substr(FormatRecorderLine(r).size() - 4), ",0,0");
  r.ipAddress = 0xFFFFFFFF;
  EXPECT_EQ(FormatRecorderLine(r), "Recorder=\"ip\",\"\",\"\",0,0,0,0,0,0,0,0,-1,0");
  // A hand-edited address in unsigned form reads as the same address.
  ZelDatContents c = ParseZelDat("Recorder=\"x\",\"\",\"\",3,0,0,0,0,0,-1,0,3232235796,5000");
  ASSERT_EQ(c.recorders.size(), 1u);
  EXPECT_EQ(c.recorders[0].ipAddress, 0xC0A80114u);
}

TEST(ZelDatFile, ReaderEdgeCases) {
  // "Retries" without "=" has an empty value, so 0.
  EXPECT_EQ(ParseZelDat("Retries=5\r\nRetries\r\n").settings.retries, 0);
  // The last of two keys wins; keys compare case-sensitively; unknown keys and blanks skipped.
  ZelDatContents c = ParseZelDat("Baud=3\r\nBaud=5\r\nbaud=1\r\n\r\nColour=red\r\n Baud=2\r\n");
  EXPECT_EQ(c.settings.baud, 5);
  // Texts are taken as they stand, "=" and blanks included.
  c = ParseZelDat("DialPrefix= 9,=W \r\n");
  EXPECT_EQ(c.settings.dialPrefix, " 9,=W ");
}

TEST(ZelDatFile, RecorderLineWithOnlyAnId) {
  for (const char* line : {"Recorder=\"Solo\"", "Recorder=Solo", "Recorder=\"Solo\","}) {
    ZelDatContents c = ParseZelDat(line);
    ASSERT_EQ(c.recorders.size(), 1u) << line;
    RecorderRecord want;
    want.id = "Solo";
    EXPECT_EQ(c.recorders[0], want) << line;
  }
  // Every "Recorder" line adds one, even one without a value.
  EXPECT_EQ(ParseZelDat("Recorder\r\nRecorder=\r\nRecorder=\"A\"\r\n").recorders.size(), 3u);
}

TEST(ZelDatFile, QuoteInPasswordDoesNotSurvive) {
  RecorderRecord r = Rec("Q", 5);
  r.password = "ab\"c";
  r.phone = "\"";
  r.port = -1;
  r.ipAddress = 0x0A000002;
  r.tcpPort = 77;
  ZelDatContents c = ParseZelDat(FormatRecorderLine(r));
  ASSERT_EQ(c.recorders.size(), 1u);
  EXPECT_NE(c.recorders[0].password, r.password);
  // The quote is lost, but it does not shift the fields after it.
  RecorderRecord want = r;
  want.password = "abc";
  want.phone = "";
  EXPECT_EQ(c.recorders[0], want);
}

TEST(ZelDatFile, ScheduleLastLineWinsAndShortLinesReadZero) {
  ZelDatContents c = ParseZelDat("Schedule=1,1,1,1,1,1,1,1,1,1,1,1,1,1\r\nSchedule=0,4,1,9\r\n");
  EXPECT_TRUE(c.scheduleLoaded);
  EXPECT_EQ(c.settings.schedule[0], (ScheduleDay{0, 4}));
  EXPECT_EQ(c.settings.schedule[1], (ScheduleDay{1, 9}));
  for (size_t d = 2; d < 7; ++d) EXPECT_EQ(c.settings.schedule[d], (ScheduleDay{0, 0})) << d;
  EXPECT_EQ(ScheduleTimeText(9), "02:15");
  EXPECT_EQ(ScheduleTimeText(95), "23:45");
  EXPECT_EQ(ScheduleTimeText(0), "00:00");
}

TEST(ZelDatFile, NumbersReadLikeAtoi) {
  EXPECT_EQ(ParseZelNumber(" \t12abc"), 12);
  EXPECT_EQ(ParseZelNumber("-7"), -7);
  EXPECT_EQ(ParseZelNumber("+3"), 3);
  EXPECT_EQ(ParseZelNumber("abc"), 0);
  EXPECT_EQ(ParseZelNumber(""), 0);
  EXPECT_EQ(ParseZelNumber("- 3"), 0);
  EXPECT_EQ(ParseZelNumber("\"3\""), 0);
  EXPECT_EQ(ParseZelNumber("4294967295"), -1);
  EXPECT_EQ(ParseZelNumber("2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ParseZelNumber("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ParseZelNumber("99999999999999999999999"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseZelNumber("-99999999999999999999999"), std::numeric_limits<int32_t>::min());
}

TEST(ZelDatFile, FieldSplitter) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitZelFields("\"a,b\",c,\"d\"e,"), (V{"a,b", "c", "d", "e"}));
  EXPECT_EQ(SplitZelFields("\"open"), (V{"open"}));
  EXPECT_EQ(SplitZelFields("1,,3"), (V{"1", "", "3"}));
  EXPECT_EQ(SplitZelFields(""), V{});
  EXPECT_EQ(SplitZelFields("\"\",\"\""), (V{"", ""}));
  // A quoted number field reads as its number.
  ZelDatContents c = ParseZelDat("Recorder=\"R\",\"\",\"\",\"4\"");
  EXPECT_EQ(c.recorders.at(0).type, 4);
}

TEST(ZelDatFile, OverLongLineKeepsOnlyItsFirstPart) {
  std::string line = "ModemInit=" + std::string(kMaxZelDatLine - 10, 'x') + "Retries=7";
  ZelDatContents c = ParseZelDat(line + "\r\nBaud=4\r\n");
  EXPECT_EQ(c.settings.modemInit.size(), kMaxZelDatLine - 10);
  EXPECT_EQ(c.settings.retries, 0);  // the tail is not read as a line of its own
  EXPECT_EQ(c.settings.baud, 4);
  // A NUL ends a line's text.
  c = ParseZelDat(std::string("DialPrefix=9\0Junk\r\n", 19));
  EXPECT_EQ(c.settings.dialPrefix, "9");
}

TEST(ZelDatFile, OverLongAndOutOfRangeValuesAreCutOnLoad) {
  zeltest::TempFolder dir("zeldat");
  fs::path file = dir.path() / "zel.dat";
  std::string text = "DirectBaud=-3\r\nBaud=12\r\nRetries=11\r\nDirectPort=-2\r\nPort=-9\r\n";
  text += "ModemInit=" + std::string(40, 'M') + "\r\n";
  text += "DialPrefix=" + std::string(33, 'P') + "\r\n";
  text += "DataFolder=/" + std::string(299, 'd') + "\r\n";
  text += "Recorder=\"" + std::string(25, 'I') + "\",\"" + std::string(20, '5') + "\",\"" +
          std::string(15, 'w') + "\",1,0,0,0,0,0,-5,0,0,0\r\n";
  text += "Recorder=\"ok\",\"\",\"\",1,0,0,0,0,0,-1,0,0,0\r\n";
  WriteAll(file, text);
  ZelDatLoad load = LoadZelDat(file);
  const StationSettings& s = load.contents.settings;
  EXPECT_EQ(s.directBaud, 0);
  EXPECT_EQ(s.baud, 9);
  EXPECT_EQ(s.retries, 10);
  EXPECT_EQ(s.directPort, 0);
  EXPECT_EQ(s.port, 0);
  EXPECT_EQ(s.modemInit, std::string(32, 'M'));
  EXPECT_EQ(s.dialPrefix, std::string(32, 'P'));
  EXPECT_EQ(s.dataFolder.size(), 260u);
  ASSERT_EQ(load.contents.recorders.size(), 2u);
  EXPECT_EQ(load.contents.recorders[0].id, std::string(20, 'I'));
  EXPECT_EQ(load.contents.recorders[0].phone, std::string(16, '5'));
  EXPECT_EQ(load.contents.recorders[0].password, std::string(10, 'w'));
  EXPECT_EQ(load.contents.recorders[0].port, -1);
  EXPECT_EQ(load.contents.recorders[1].port, -1);
  EXPECT_EQ(load.adjusted.size(), 12u);
  // Retries 0 is raised to 1.
  ZelDatContents c = ParseZelDat("Retries=0");
  ApplyZelDatLimits(c);
  EXPECT_EQ(c.settings.retries, 1);
  // A cut never splits a UTF-8 character.
  c = ParseZelDat("Recorder=\"" + std::string(19, 'a') + "\xC3\xA9" + "\"");
  ApplyZelDatLimits(c);
  EXPECT_EQ(c.recorders.at(0).id, std::string(19, 'a'));
}

TEST(ZelDatFile, LineBreaksInTextsCannotAddLines) {
  StationSettings s = StationSettings::Defaults();
  s.modemInit = "AT\nRecorder=\"evil\"";
  RecorderRecord r = Rec(std::string("a\nRetries=9", 11), 0);
  ZelDatContents c = ParseZelDat(FormatZelDat(s, {r}));
  EXPECT_EQ(c.recorders.size(), 1u);
  EXPECT_EQ(c.settings.modemInit, "ATRecorder=\"evil\"");
  EXPECT_EQ(c.settings.retries, 1);
  EXPECT_EQ(c.recorders.at(0).id, "aRetries=9");
}

std::vector<std::string> FolderEntries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ZelDatFile, FailedWriteLeavesTheOldFile) {
  zeltest::TempFolder dir("zeldat");
  fs::path file = dir.path() / "zel.dat";
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), SampleRecorders()));
  const std::string before = ReadAll(file);

  // A write that runs out of room part way (file size limit) must not touch zel.dat.
  std::vector<RecorderRecord> many(200, Rec("Recorder with a long name", 1));
  struct rlimit old_limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 512;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  bool saved = SaveZelDat(file, StationSettings::Defaults(), many, &error);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find("could not be saved"), std::string::npos) << error;
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"zel.dat"});
}

TEST(ZelDatFile, SaveThatCannotReplaceReportsFailure) {
  zeltest::TempFolder dir("zeldat");
  // The target is a folder with content: the rename fails and nothing is left behind.
  fs::path file = dir.path() / "zel.dat";
  fs::create_directory(file);
  WriteAll(file / "keep", "k");
  std::string error;
  EXPECT_FALSE(SaveZelDat(file, SampleSettings(), SampleRecorders(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadAll(file / "keep"), "k");
  EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"zel.dat"});
  // A folder that does not exist.
  EXPECT_FALSE(SaveZelDat(dir.path() / "no" / "zel.dat", SampleSettings(),
                          std::vector<RecorderRecord>{}, &error));
}

TEST(ZelDatFile, SavesFromTheRecorderList) {
  zeltest::TempFolder dir("zeldat");
  fs::path file = dir.path() / "zel.dat";
  RecorderList list(SampleRecorders());
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), list));
  ZelDatLoad load = LoadZelDat(file);
  ASSERT_EQ(load.contents.recorders.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(load.contents.recorders[i].id, list.Get(i)->id);
}

TEST(ZelDatFile, KeepsItsModeAndWritesThroughALink) {
  zeltest::TempFolder dir("zeldat");
  auto mode = [](const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
  };
  // A new zel.dat holds passwords: its owner's only, whatever the umask.
  const mode_t oldMask = ::umask(0);
  const fs::path file = dir.path() / "zel.dat";
  const bool saved = SaveZelDat(file, SampleSettings(), SampleRecorders());
  ::umask(oldMask);
  ASSERT_TRUE(saved);
  EXPECT_EQ(mode(file), 0600u);
  // An existing one keeps the mode it was given.
  ::chmod(file.c_str(), 0640);
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), SampleRecorders()));
  EXPECT_EQ(mode(file), 0640u);

  // A zel.dat that is a link to the station's shared file: the link stays, the file changes.
  fs::create_directory(dir.path() / "shared");
  const fs::path real = dir.path() / "shared" / "zel.dat";
  ASSERT_TRUE(SaveZelDat(real, SampleSettings(), std::vector<RecorderRecord>{}));
  const fs::path link = dir.path() / "link.dat";
  fs::create_symlink(fs::path("shared") / "zel.dat", link);
  ASSERT_TRUE(SaveZelDat(link, SampleSettings(), SampleRecorders()));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(LoadZelDat(real).contents.recorders.size(), SampleRecorders().size());
  EXPECT_EQ(mode(real), 0600u);
}

TEST(ZelDatFile, RunChangesAreAppliedToTheFileAsItIsNow) {
  zeltest::TempFolder dir("zeldat");
  const fs::path file = dir.path() / "zel.dat";
  std::vector<RecorderRecord> start = SampleRecorders();
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), start));

  // The run sets the clock of "KPD" and uploads a new password to "Yard,East".
  std::vector<RecorderRecord> end = start;
  end[2].clockSetDay = 9001;
  end[1].password = "NEWPW";
  end[0].listState = 1;  // selection is not a change
  const std::vector<RecorderChange> changes = RecorderChanges(start, end);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].id, "Yard,East");
  EXPECT_EQ(changes[0].password, "NEWPW");
  EXPECT_FALSE(changes[0].clockSetDay);
  EXPECT_EQ(changes[1].id, "KPD");
  EXPECT_EQ(changes[1].clockSetDay, 9001);

  // Meanwhile the file was edited: a recorder added in front, one removed, a password and a
  // setting changed.
  std::vector<RecorderRecord> edited = start;
  RecorderRecord added = Rec("Added", 5);
  added.password = "ADDPW";
  edited.insert(edited.begin(), added);
  edited.erase(edited.begin() + 1);  // "North Yard" removed
  edited[2].password = "EDITPW";     // KPD
  StationSettings settings = SampleSettings();
  settings.retries = 7;
  ASSERT_TRUE(SaveZelDat(file, settings, edited));

  std::string error;
  ASSERT_TRUE(SaveZelDatChanges(file, changes, SampleSettings(), end, &error)) << error;
  const ZelDatLoad now = LoadZelDat(file);
  ASSERT_EQ(now.contents.recorders.size(), edited.size());
  EXPECT_EQ(now.contents.settings.retries, 7);
  EXPECT_EQ(now.contents.recorders[0].id, "Added");
  EXPECT_EQ(now.contents.recorders[0].password, "ADDPW");
  EXPECT_EQ(now.contents.recorders[1].id, "Yard,East");
  EXPECT_EQ(now.contents.recorders[1].password, "NEWPW");
  EXPECT_EQ(now.contents.recorders[1].clockSetDay, 8800);
  EXPECT_EQ(now.contents.recorders[2].id, "KPD");
  EXPECT_EQ(now.contents.recorders[2].password, "EDITPW");
  EXPECT_EQ(now.contents.recorders[2].clockSetDay, 9001);

  // No changes: the file is not written at all.
  auto inode = [](const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_ino;
  };
  const auto before = inode(file);
  EXPECT_TRUE(SaveZelDatChanges(file, {}, SampleSettings(), end, &error));
  EXPECT_EQ(inode(file), before);  // a save would have renamed a new file over it

  // The file went away: the run's own list is written.
  fs::remove(file);
  ASSERT_TRUE(SaveZelDatChanges(file, changes, SampleSettings(), end, &error)) << error;
  EXPECT_EQ(LoadZelDat(file).contents.recorders.size(), end.size());
}

TEST(ZelDatFile, ARunsSaveWaitsForAnotherWriterToFinish) {
  zeltest::TempFolder dir("zeldat_writers");
  const fs::path file = dir.path() / "zel.dat";
  const std::vector<RecorderRecord> start = SampleRecorders();
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), start));
  std::vector<RecorderRecord> end = start;
  end[2].clockSetDay = 9001;
  const std::vector<RecorderChange> changes = RecorderChanges(start, end);

  // Another writer (the station manager window) is between its read and its write: the run's
  // save must not read the file until that write is done, or it would put back the old list.
  auto window = std::make_unique<platform::StationWriteLock>(file);
  ASSERT_TRUE(window->locked()) << window->error();
  std::atomic<bool> saved{false};
  std::string error;
  std::thread run([&] { saved = SaveZelDatChanges(file, changes, SampleSettings(), end, &error); });
  std::vector<RecorderRecord> edited = start;
  edited.push_back(Rec("Added", 5));
  // Give a save that ignores the lock time to happen before the window writes.
  for (int i = 0; i < 50 && !saved; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(4));
  EXPECT_FALSE(saved) << "the run saved while another writer held the station file";
  ASSERT_TRUE(SaveZelDat(file, SampleSettings(), edited));
  window.reset();
  run.join();
  ASSERT_TRUE(saved) << error;
  const ZelDatLoad now = LoadZelDat(file);
  ASSERT_EQ(now.contents.recorders.size(), edited.size()) << "the window's added recorder was lost";
  EXPECT_EQ(now.contents.recorders.back().id, "Added");
  EXPECT_EQ(now.contents.recorders[2].clockSetDay, 9001);
}

}  // namespace
}  // namespace zel::core
