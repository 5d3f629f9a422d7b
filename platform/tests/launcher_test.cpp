#include "zel/platform/launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "zel/testing/files.h"
#include "zel/testing/temp_folder.h"
#include "zel/testing/wait.h"

namespace zel::platform {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

TEST(CommandLineSplit, QuotingRules) {
  EXPECT_EQ(SplitCommandLine("\"abc\" d e"), (V{"abc", "d", "e"}));
  EXPECT_EQ(SplitCommandLine("prog a\\\\\\b d\"e f\"g h"), (V{"prog", "a\\\\\\b", "de fg", "h"}));
  EXPECT_EQ(SplitCommandLine("prog a\\\\\\\"b c d"), (V{"prog", "a\\\"b", "c", "d"}));
  EXPECT_EQ(SplitCommandLine("prog a\\\\\\\\\"b c\" d e"), (V{"prog", "a\\\\b c", "d", "e"}));
  EXPECT_EQ(SplitCommandLine("prog \"a b\" \"\" c"), (V{"prog", "a b", "", "c"}));
  EXPECT_EQ(SplitCommandLine("prog \"a\"\"b\""), (V{"prog", "a\"b"}));
  EXPECT_EQ(SplitCommandLine("prog \\\"x\\\""), (V{"prog", "\"x\""}));
  // A backslash just before the closing quote escapes it.
  EXPECT_EQ(SplitCommandLine("prog \"D:\\Data\\\" next"), (V{"prog", "D:\\Data\" next"}));
  EXPECT_EQ(SplitCommandLine("  \t prog\t a  "), (V{"prog", "a"}));
  EXPECT_EQ(SplitCommandLine(""), V{});
  EXPECT_EQ(SplitCommandLine("   "), V{});
  EXPECT_EQ(SplitCommandLine("prog \"open ended"), (V{"prog", "open ended"}));
}

TEST(CommandLineSplit, ProgramNameAndOptions) {
  // The program name takes backslashes literally, even before a quote.
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Zel\\\" rest"),
            (V{"C:\\Program Files\\Zel\\", "rest"}));
  EXPECT_EQ(SplitCommandLine("C:\\Program Files\\x.exe"), (V{"C:\\Program", "Files\\x.exe"}));
  // "/opt=value" arguments come through whole; a quoted value loses only its quotes.
  EXPECT_EQ(SplitCommandLine("\"C:\\S\\ZelRtp.exe\" /setup=\"D:\\Data\\North Yard\\setupdata.bin\" "
                             "/recorder=KRV517 /port=-1 /ip=10.0.0.1:5000"),
            (V{"C:\\S\\ZelRtp.exe", "/setup=D:\\Data\\North Yard\\setupdata.bin",
               "/recorder=KRV517", "/port=-1", "/ip=10.0.0.1:5000"}));
  EXPECT_EQ(SplitCommandLine("p /init=\"AT&F, Q0\" /dial=\"9,W555\""),
            (V{"p", "/init=AT&F, Q0", "/dial=9,W555"}));
}

TEST(ProgramLookup, ExactThenAnyCaseThenWithoutExe) {
  zeltest::TempFolder dir("launch");
  Touch(dir.path() / "Vantel.exe");
  Touch(dir.path() / "zelqplot.exe");
  Touch(dir.path() / "ZelRtp");
  Touch(dir.path() / "krv517s2t");
  fs::create_directory(dir.path() / "Folder.exe");
  const fs::path& d = dir.path();
  EXPECT_EQ(FindProgramFile((d / "Vantel.exe").string(), {}), d / "Vantel.exe");
  EXPECT_EQ(FindProgramFile((d / "ZelQplot.exe").string(), {}), d / "zelqplot.exe");
  EXPECT_EQ(FindProgramFile((d / "ZelRtp.exe").string(), {}), d / "ZelRtp");
  EXPECT_EQ(FindProgramFile((d / "KRV517S2T.EXE").string(), {}), d / "krv517s2t");
  EXPECT_FALSE(FindProgramFile((d / "ZelEdit19.exe").string(), {}));
  EXPECT_FALSE(FindProgramFile((d / "Folder.exe").string(), {}));
  EXPECT_FALSE(FindProgramFile("", d));
  // A relative name is looked up in the program folder.
  EXPECT_EQ(FindProgramFile("ZelRtp.exe", d), d / "ZelRtp");
  // Windows separators are accepted.
  EXPECT_EQ(FindProgramFile(d.string() + "\\Vantel.exe", {}), d / "Vantel.exe");
  // Any-case match wins over the name without ".exe".
  Touch(dir.path() / "zelrtp.exe");
  EXPECT_EQ(FindProgramFile((d / "ZelRtp.exe").string(), {}), d / "zelrtp.exe");
  // The exact name wins over other spellings.
  Touch(dir.path() / "ZelRtp.exe");
  EXPECT_EQ(FindProgramFile((d / "ZelRtp.exe").string(), {}), d / "ZelRtp.exe");
}

// A program that writes its working folder and arguments, one per line, beside itself.
void WriteProbe(const fs::path& file) {
  std::ofstream(file) << "#!/bin/sh\n"
                         "out=\"$(dirname \"$0\")/out.txt\"\n"
                         "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > "
                         "\"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";
  ::chmod(file.c_str(), 0755);
}

// What the probe wrote, once it is there (it moves the whole file into place in one go).
std::optional<std::string> WaitForFile(const fs::path& p) {
  if (!zeltest::WaitForFile(p)) return std::nullopt;
  return zeltest::ReadText(p);
}

TEST(ProcessLauncherTest, StartsTheProgramWithSplitArguments) {
  zeltest::TempFolder dir("launch");
  WriteProbe(dir.path() / "Probe");
  fs::create_directory(dir.path() / "work dir");
  ProcessLauncher launcher(dir.path());
  ASSERT_TRUE(launcher.Start(
      "\"" + (dir.path() / "PROBE.exe").string() + "\" /setup=\"a b\\c.bin\" /port=3 \"\"",
      (dir.path() / "work dir").string()));
  auto out = WaitForFile(dir.path() / "out.txt");
  ASSERT_TRUE(out);
  EXPECT_EQ(*out,
            fs::canonical(dir.path() / "work dir").string() + "\n/setup=a b\\c.bin\n/port=3\n\n");
}

TEST(ProcessLauncherTest, ForeignFolderFallsBackToTheProgramFolder) {
  zeltest::TempFolder dir("launch");
  WriteProbe(dir.path() / "Probe");
  ProcessLauncher launcher(dir.path());
  ASSERT_TRUE(launcher.Start("\"C:\\Station\\Probe.exe\" one", ""));
  auto out = WaitForFile(dir.path() / "out.txt");
  ASSERT_TRUE(out);
  EXPECT_NE(out->find("\none\n"), std::string::npos) << *out;
  // Without a program folder there is nowhere else to look.
  ProcessLauncher bare;
  EXPECT_FALSE(bare.Start("\"C:\\Station\\Probe.exe\"", ""));
}

TEST(ProcessLauncherTest, FailuresAreReturned) {
  zeltest::TempFolder dir("launch");
  WriteProbe(dir.path() / "Probe");
  ProcessLauncher launcher(dir.path());
  EXPECT_FALSE(launcher.Start("\"" + (dir.path() / "Missing.exe").string() + "\"", ""));
  EXPECT_FALSE(launcher.Start("", ""));
  EXPECT_FALSE(launcher.Start("Probe.exe", (dir.path() / "no such folder").string()));
  // Not executable.
  Touch(dir.path() / "Plain.exe");
  EXPECT_FALSE(launcher.Start("Plain.exe", ""));
  EXPECT_FALSE(fs::exists(dir.path() / "out.txt"));
}

TEST(ProcessLauncherTest, OpensWithTheDesktop) {
  zeltest::TempFolder dir("launch");
  WriteProbe(dir.path() / "opener");
  Touch(dir.path() / "report.txt");
  ProcessLauncher launcher;
  launcher.SetOpener((dir.path() / "opener").string());
  EXPECT_FALSE(launcher.OpenWithDesktop((dir.path() / "absent.txt").string()));
  EXPECT_FALSE(launcher.OpenWithDesktop(""));
  ASSERT_TRUE(launcher.OpenWithDesktop((dir.path() / "report.txt").string()));
  auto out = WaitForFile(dir.path() / "out.txt");
  ASSERT_TRUE(out);
  EXPECT_NE(out->find("\n" + (dir.path() / "report.txt").string() + "\n"), std::string::npos);
  launcher.SetOpener("zel-no-such-opener");
  EXPECT_FALSE(launcher.OpenWithDesktop((dir.path() / "report.txt").string()));
}

TEST(RecordingLauncherTest, KeepsOrderAndModes) {
  RecordingLauncher rec;
  EXPECT_TRUE(rec.Start("\"a\" b", "/w", WindowMode::Maximized));
  EXPECT_TRUE(rec.OpenWithDesktop("/x.txt"));
  EXPECT_EQ(rec.events(), (V{"start \"a\" b", "open /x.txt"}));
  ASSERT_EQ(rec.started().size(), 1u);
  EXPECT_EQ(rec.started()[0].workingFolder, "/w");
  EXPECT_EQ(rec.started()[0].mode, WindowMode::Maximized);
  RecordingLauncher failing(false);
  EXPECT_FALSE(failing.Start("x", ""));
}

}  // namespace
}  // namespace zel::platform
