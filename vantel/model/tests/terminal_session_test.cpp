// The Ctrl-A keys, local echo, CR/LF mapping in both directions, and where the terminal runs.
#include "model/terminal_session.h"

#include <gtest/gtest.h>

#include "model/line_map.h"
#include "model/terminal_host.h"

namespace zel::vantel {
namespace {

TEST(LineMap, EachMappingAndWhichWinsOnTheSameByte) {
  auto map = [](const char* list) { return ParseLineMap(list).value(); };
  EXPECT_EQ(map("").Apply("a\rb\nc"), "a\rb\nc");
  EXPECT_EQ(map("crlf").Apply("a\r\n"), "a\n\n");
  EXPECT_EQ(map("crcrlf").Apply("a\rb"), "a\r\nb");
  EXPECT_EQ(map("lfcrlf").Apply("a\nb"), "a\r\nb");
  EXPECT_EQ(map("lfcr").Apply("a\n"), "a\r");
  EXPECT_EQ(map("igncr,ignlf").Apply("a\r\nb"), "ab");
  EXPECT_EQ(map("bsdel").Apply("\x08"), "\x7f");
  EXPECT_EQ(map("delbs").Apply("\x7f"), "\x08");
  // Dropping beats replacing, one byte beats two.
  EXPECT_EQ(map("crcrlf,igncr").Apply("\r"), "");
  EXPECT_EQ(map("crcrlf,crlf").Apply("\r"), "\n");
  // Escape sequences pass untouched.
  EXPECT_EQ(map("crlf,lfcrlf").Apply("\x1b[2J\x1b[1;1H"), "\x1b[2J\x1b[1;1H");
  std::string bad;
  EXPECT_FALSE(ParseLineMap("crlf,CRLF", &bad));
  EXPECT_EQ(bad, "CRLF");
  EXPECT_TRUE(ParseLineMap(",crlf,"));
}

TEST(EscapeKeys, CommandsFollowCtrlAAndEverythingElsePasses) {
  EscapeKeys k;
  EXPECT_EQ(k.Feed('x').send, "x");
  EXPECT_EQ(k.Feed(0x1b).send, "\x1b");
  struct Case {
    uint8_t key;
    Command command;
  };
  for (Case c : {Case{'x', Command::kQuit}, Case{'X', Command::kQuit}, Case{0x18, Command::kQuit},
                 Case{0x08, Command::kHelp}, Case{0x03, Command::kToggleEcho},
                 Case{'l', Command::kToggleLog}, Case{'L', Command::kToggleLog},
                 Case{'w', Command::kWake}, Case{'9', Command::kUnknown}}) {
    EscapeKeys::Step first = k.Feed(kEscapeKey);
    EXPECT_EQ(first.command, Command::kNone);
    EXPECT_TRUE(first.send.empty());
    EXPECT_TRUE(k.Pending());
    EscapeKeys::Step second = k.Feed(c.key);
    EXPECT_EQ(second.command, c.command) << int(c.key);
    EXPECT_TRUE(second.send.empty());
    EXPECT_FALSE(k.Pending());
  }
  // Ctrl-A Ctrl-A sends one Ctrl-A; the key after it is plain again.
  k.Feed(kEscapeKey);
  EXPECT_EQ(k.Feed(kEscapeKey).send, "\x01");
  EXPECT_EQ(k.Feed('x').send, "x");
}

TEST(TerminalSession, QuitStopsTheRestOfTheBatchAndEchoToggles) {
  TerminalSession s(LineMap{}, ParseLineMap("crcrlf").value(), false);
  TerminalSession::Output o = s.Keyboard("PW\r");
  EXPECT_EQ(o.toLine, "PW\r\n");  // typed keys mapped on the way out
  EXPECT_TRUE(o.toScreen.empty());
  o = s.Keyboard(
      "\x01\x03"
      "ab");
  EXPECT_TRUE(s.echo());
  EXPECT_NE(o.notice.find("Local echo on"), std::string::npos);
  EXPECT_EQ(o.toLine, "ab");
  EXPECT_EQ(o.toScreen, "ab");
  o = s.Keyboard("c\x01xde");
  EXPECT_TRUE(o.quit);
  EXPECT_EQ(o.toLine, "c");
  // A Ctrl-A at the end of one read and its key at the start of the next still make a command.
  TerminalSession t(LineMap{}, LineMap{}, false);
  EXPECT_FALSE(t.Keyboard("\x01").quit);
  EXPECT_TRUE(t.Keyboard("X").quit);
}

TEST(TerminalSession, HelpLogAndWake) {
  TerminalSession s(ParseLineMap("lfcrlf").value(), LineMap{}, false);
  TerminalSession::Output o = s.Keyboard("\x01\x08");
  EXPECT_NE(o.notice.find("hang up and quit"), std::string::npos);
  EXPECT_TRUE(o.toLine.empty());
  o = s.Keyboard("\x01l");
  EXPECT_TRUE(o.toggleLog);
  o = s.Keyboard("\x01l\x01l");  // twice in one read: back where it was
  EXPECT_FALSE(o.toggleLog);
  o = s.Keyboard("\x01w");
  EXPECT_EQ(o.toLine, kWakeUp);
  EXPECT_EQ(s.Received("Main menu\n> "), "Main menu\r\n> ");
}

TEST(TerminalHost, TerminalVariableThenXTerminalEmulator) {
  auto onlyXte = [](const std::string& n) -> std::optional<std::string> {
    if (n == "x-terminal-emulator") return "/usr/bin/x-terminal-emulator";
    return std::nullopt;
  };
  auto all = [](const std::string& n) -> std::optional<std::string> { return "/bin/" + n; };
  auto none = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };
  EXPECT_EQ(HostCommand("", "/opt/zel/Vantel", {"/port=1", "/dial=5 5"}, onlyXte),
            (std::vector<std::string>{"/usr/bin/x-terminal-emulator", "-e", "/opt/zel/Vantel",
                                      "/port=1", "/dial=5 5"}));
  EXPECT_EQ(HostCommand("kitty --hold", "/V", {"/port=1"}, all),
            (std::vector<std::string>{"/bin/kitty", "--hold", "-e", "/V", "/port=1"}));
  // $TERMINAL names a missing program: x-terminal-emulator still serves.
  EXPECT_EQ(HostCommand("missing", "/V", {}, onlyXte).front(), "/usr/bin/x-terminal-emulator");
  EXPECT_TRUE(HostCommand("missing", "/V", {}, none).empty());
}

}  // namespace
}  // namespace zel::vantel
