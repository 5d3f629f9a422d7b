#include "zel/core/tool_commands.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "zel/catalogue.h"
#include "zel/core/paths.h"

namespace zel::core {

namespace {

// An argument in double quotes, written so that the usual command line split gives back exactly
// `s`: a double quote inside is escaped as \", and backslashes just before a quote (or before
// the closing quote) are doubled. Paths without quotes that do not end in a backslash come out
// as plain "path", so a quote in a folder name can never end the argument early or add options.
std::string Q(const std::string& s) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : s) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(2 * backslashes + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, '\\');
  out.push_back('"');
  return out;
}

// The program name: the split takes its backslashes literally and has no escape, so it is
// quoted as it stands.
std::string ProgramPath(const ToolEnv& env, const std::string& program) {
  return env.programFolder + program;
}
std::string QP(const std::string& program_path) { return "\"" + program_path + "\""; }

std::string IpPart(const RecorderRecord& r) {
  return " /ip=" + DottedAddress(r.ipAddress) + ":" + std::to_string(r.tcpPort);
}

std::string InitPart(const StationSettings& s) {
  return s.modemInit.empty() ? std::string() : " /init=" + Q(s.modemInit);
}

std::string DialPart(const StationSettings& s, const RecorderRecord& r) {
  return " /dial=" + Q(s.dialPrefix + r.phone);
}

std::string UnsafeIdError(const std::string& data_folder, const std::string& id) {
  FolderResult f = RecorderFolder(data_folder, id);
  return f.error;
}

}  // namespace

ToolEnv CurrentToolEnv() { return ToolEnv{ProgramFolder(), kPathSeparator}; }

int EffectiveDirectPort(const RecorderRecord& r, const StationSettings& s) {
  if (r.port < 0) return -1;
  if (r.port == 0) return s.directPort;
  return r.port - 1;
}

std::string DottedAddress(uint32_t ip) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%d.%d.%d", static_cast<int>((ip >> 24) & 0xFF),
                static_cast<int>((ip >> 16) & 0xFF), static_cast<int>((ip >> 8) & 0xFF),
                static_cast<int>(ip & 0xFF));
  return buf;
}

std::optional<std::string> RecorderFolderText(const ToolEnv& env, const std::string& data_folder,
                                              const std::string& id) {
  if (data_folder.empty() || !IsSafeRecorderId(id)) return std::nullopt;
  return data_folder + env.separator + id;
}

std::optional<std::string> SetupBinPath(const ToolEnv& env, const std::string& data_folder,
                                        const std::string& id) {
  auto folder = RecorderFolderText(env, data_folder, id);
  if (!folder) return std::nullopt;
  return *folder + env.separator + "setupdata.bin";
}

std::optional<std::string> SetupTextPath(const ToolEnv& env, const std::string& data_folder,
                                         const std::string& id) {
  auto folder = RecorderFolderText(env, data_folder, id);
  if (!folder) return std::nullopt;
  return *folder + env.separator + "setupdata.txt";
}

std::string TerminalDialCommand(const ToolEnv& env, const StationSettings& s,
                                const RecorderRecord& r) {
  return QP(ProgramPath(env, "Vantel.exe")) + " /port=" + std::to_string(s.port + 1) +
         " /baud=" + std::to_string(BaudRateOfCode(s.baud)) + InitPart(s) + DialPart(s, r);
}

std::string TerminalDirectCommand(const ToolEnv& env, const StationSettings& s,
                                  const RecorderRecord& r) {
  std::string cmd = QP(ProgramPath(env, "Vantel.exe")) +
                    " /port=" + std::to_string(EffectiveDirectPort(r, s) + 1) +
                    " /baud=" + std::to_string(BaudRateOfCode(s.directBaud));
  if (r.port == -1) cmd += IpPart(r);
  return cmd;
}

namespace {

std::optional<std::string> RealTimeHead(const ToolEnv& env, const StationSettings& s,
                                        const RecorderRecord& r) {
  auto code = LiveCodeOf(r.type);
  auto setup = SetupBinPath(env, s.dataFolder, r.id);
  if (!code || !setup) return std::nullopt;
  return QP(ProgramPath(env, "ZelRtp.exe")) + " /setup=" + Q(*setup) + " /recorder=" + *code;
}

}  // namespace

std::optional<std::string> RealTimeDialCommand(const ToolEnv& env, const StationSettings& s,
                                               const RecorderRecord& r) {
  auto head = RealTimeHead(env, s, r);
  if (!head) return std::nullopt;
  return *head + " /port=" + std::to_string(s.port) + " /baud=" + std::to_string(s.baud) +
         InitPart(s) + DialPart(s, r);
}

std::optional<std::string> RealTimeDirectCommand(const ToolEnv& env, const StationSettings& s,
                                                 const RecorderRecord& r) {
  auto head = RealTimeHead(env, s, r);
  if (!head) return std::nullopt;
  std::string cmd = *head + " /port=" + std::to_string(EffectiveDirectPort(r, s)) +
                    " /baud=" + std::to_string(s.directBaud);
  if (r.port == -1) cmd += IpPart(r);
  return cmd;
}

std::optional<std::string> SetupTextCommand(const ToolEnv& env, const StationSettings& s,
                                            const RecorderRecord& r) {
  auto converter = ConverterOf(r.type);
  auto folder = RecorderFolderText(env, s.dataFolder, r.id);
  if (!converter || !folder) return std::nullopt;
  const std::string base = *folder + env.separator + "setupdata";
  return QP(ProgramPath(env, *converter)) + " " + Q(base + ".bin") + " " + Q(base + ".txt");
}

std::optional<std::string> EditorCommand(const ToolEnv& env, const StationSettings& s,
                                         const RecorderRecord& r) {
  auto editor = EditorOf(r.type);
  auto setup = SetupBinPath(env, s.dataFolder, r.id);
  if (!editor || !setup) return std::nullopt;
  return QP(ProgramPath(env, *editor)) + " " + Q(*setup);
}

std::string EventPlotCommand(const ToolEnv& env, const std::string& event_file,
                             const std::string& setup_file) {
  return QP(ProgramPath(env, "ZelQplot.exe")) + " /event=" + Q(event_file) +
         " /setup=" + Q(setup_file);
}

std::string QuickPlotCommand(const ToolEnv& env, const std::string& template_path,
                             const std::string& query_folder, const std::string& file_name,
                             const std::string& data_folder, const std::string& id) {
  auto setup = SetupBinPath(env, data_folder, id);
  if (!setup) return {};
  return QP(ProgramPath(env, "ZelQplot.exe")) + " " + Q(template_path) +
         " /event=" + Q(query_folder + env.separator + file_name) + " /setup=" + Q(*setup);
}

namespace {

// Position just past the last folder separator of a path ('/' or '\\'), 0 when none.
std::size_t NameStart(const std::string& path) {
  std::size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? 0 : sep + 1;
}

}  // namespace

std::string EventsReportPath(const std::string& event_file, const StationSettings& s) {
  return event_file.substr(0, NameStart(event_file)) + "Events" + s.ReportExtension();
}

std::string QueryReportPath(const std::string& event_file, const StationSettings& s) {
  std::size_t name = NameStart(event_file);
  std::size_t dot = event_file.find_last_of('.');
  std::string stem =
      dot != std::string::npos && dot >= name ? event_file.substr(0, dot) : event_file;
  return stem + s.ReportExtension();
}

std::string HelpPagePath(const ToolEnv& env) { return env.programFolder + "ZEL.html"; }

// ---- actions ----

ToolAction ConnectDialAction(const ToolEnv& env, const StationSettings& s,
                             const RecorderRecord& r) {
  ToolAction a;
  a.commandLine = TerminalDialCommand(env, s, r);
  a.workingFolder = s.dataFolder;
  return a;
}

ToolAction ConnectDirectAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r) {
  ToolAction a;
  a.commandLine = TerminalDirectCommand(env, s, r);
  a.workingFolder = s.dataFolder;
  return a;
}

namespace {

ToolAction FolderAction(const StationSettings& s, const RecorderRecord& r,
                        std::optional<std::string> cmd, platform::WindowMode mode) {
  ToolAction a;
  a.mode = mode;
  a.workingFolder = s.dataFolder;
  if (!IsSafeRecorderId(r.id) || s.dataFolder.empty())
    a.error = UnsafeIdError(s.dataFolder, r.id);
  else
    a.commandLine = std::move(cmd);
  return a;
}

}  // namespace

ToolAction RealTimeDialAction(const ToolEnv& env, const StationSettings& s,
                              const RecorderRecord& r) {
  return FolderAction(s, r, RealTimeDialCommand(env, s, r), platform::WindowMode::Maximized);
}

ToolAction RealTimeDirectAction(const ToolEnv& env, const StationSettings& s,
                                const RecorderRecord& r) {
  return FolderAction(s, r, RealTimeDirectCommand(env, s, r), platform::WindowMode::Maximized);
}

ToolAction ViewSetupTextAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r) {
  ToolAction a = FolderAction(s, r, SetupTextCommand(env, s, r), platform::WindowMode::Hidden);
  if (!a.error.empty()) return a;
  a.openPath = SetupTextPath(env, s.dataFolder, r.id);
  a.openDelayMs = kSetupTextOpenDelayMs;
  return a;
}

ToolAction EditSetupAction(const ToolEnv& env, const StationSettings& s, const RecorderRecord& r) {
  return FolderAction(s, r, EditorCommand(env, s, r), platform::WindowMode::Normal);
}

ToolAction PlotEventsAction(const ToolEnv& env, const StationSettings& s, const RecorderRecord& r,
                            const std::string& event_file) {
  ToolAction a = FolderAction(s, r, std::nullopt, platform::WindowMode::Normal);
  if (!a.error.empty()) return a;
  a.workingFolder = *RecorderFolderText(env, s.dataFolder, r.id);
  a.commandLine = EventPlotCommand(env, event_file, *SetupBinPath(env, s.dataFolder, r.id));
  return a;
}

ToolAction QueryPlotDataAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r, const std::string& event_file) {
  ToolAction a = FolderAction(s, r, std::nullopt, platform::WindowMode::Normal);
  if (!a.error.empty()) return a;
  a.workingFolder = *RecorderFolderText(env, s.dataFolder, r.id);
  a.commandLine = EventPlotCommand(env, event_file, "setupdata.bin");
  return a;
}

bool RunToolAction(const ToolAction& action, platform::Launcher& launcher,
                   const std::function<void(int)>& sleep_ms) {
  bool ok = action.error.empty();
  if (action.commandLine)
    ok = launcher.Start(*action.commandLine, action.workingFolder, action.mode) && ok;
  if (action.openPath) {
    if (action.openDelayMs > 0) {
      if (sleep_ms)
        sleep_ms(action.openDelayMs);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(action.openDelayMs));
    }
    ok = launcher.OpenWithDesktop(*action.openPath) && ok;
  }
  return ok;
}

}  // namespace zel::core
