// API-STABLE
// Command lines of the programs the station manager starts, and the files it opens.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "zel/core/settings.h"
#include "zel/platform/launcher.h"
#include "zel/recorder.h"

namespace zel::core {

// Where the command lines point: the program folder P (with its trailing separator) and the
// separator placed between folder parts (the platform's; tests may use '\\').
struct ToolEnv {
  std::string programFolder;
  char separator = '/';
};
// ToolEnv of this process (ProgramFolder(), the platform separator).
ToolEnv CurrentToolEnv();

// Pause between starting the converter and opening its text (View Recorder Setup Data).
inline constexpr int kSetupTextOpenDelayMs = 500;

// Connection selector of a recorder's direct access: -1 for TCP/IP (port selection -1), the
// "DirectPort" setting for 0, n - 1 for COMn.
int EffectiveDirectPort(const RecorderRecord& r, const StationSettings& s);
// "%d.%d.%d.%d" of an address, first octet most significant.
std::string DottedAddress(uint32_t ip);

// What one command does: start a program and/or open a file (after a pause), or nothing with
// a reason. `error` is set only when the recorder's ID cannot name a folder.
struct ToolAction {
  std::optional<std::string> commandLine;
  platform::WindowMode mode = platform::WindowMode::Normal;
  std::string workingFolder;
  std::optional<std::string> openPath;
  int openDelayMs = 0;
  std::string error;
  bool DoesNothing() const { return !commandLine && !openPath; }
};

// Connect > Dial: "\"P" "Vantel.exe\" /port=%d /baud=%d [/init=\"%s\"] /dial=\"%s%s\"".
std::string TerminalDialCommand(const ToolEnv& env, const StationSettings& s,
                                const RecorderRecord& r);
// Connect > Direct: port + 1 and the rate of DirectBaud, " /ip=a.b.c.d:port" for TCP/IP.
std::string TerminalDirectCommand(const ToolEnv& env, const StationSettings& s,
                                  const RecorderRecord& r);
// Real Time Plot > Dial / Direct; nullopt for a type without a live code or an unsafe ID.
std::optional<std::string> RealTimeDialCommand(const ToolEnv& env, const StationSettings& s,
                                               const RecorderRecord& r);
std::optional<std::string> RealTimeDirectCommand(const ToolEnv& env, const StationSettings& s,
                                                 const RecorderRecord& r);
// View > Recorder Setup Data: "\"P<converter>\" \"D\R\setupdata.bin\" \"D\R\setupdata.txt\"";
// nullopt for a type without a converter (17, unknown) or an unsafe ID.
std::optional<std::string> SetupTextCommand(const ToolEnv& env, const StationSettings& s,
                                            const RecorderRecord& r);
// Edit > Edit Recorder Setup Data: "\"P<editor>\" \"D\R\setupdata.bin\""; nullopt without an
// editor or with an unsafe ID.
std::optional<std::string> EditorCommand(const ToolEnv& env, const StationSettings& s,
                                         const RecorderRecord& r);
// View > Plot Event Records and Query > Plot Data:
// "\"P" "ZelQplot.exe\" /event=\"<event file>\" /setup=\"<setup file>\"".
std::string EventPlotCommand(const ToolEnv& env, const std::string& event_file,
                             const std::string& setup_file);
// Quick plot: "\"P" "ZelQplot.exe\" \"<template>\" /event=\"<query folder>\<file>\"
// /setup=\"D\R\setupdata.bin\"". Empty for an unsafe ID.
std::string QuickPlotCommand(const ToolEnv& env, const std::string& template_path,
                             const std::string& query_folder, const std::string& file_name,
                             const std::string& data_folder, const std::string& id);

// "D\R\setupdata.bin" and "D\R\setupdata.txt"; nullopt for an unsafe ID.
std::optional<std::string> SetupBinPath(const ToolEnv& env, const std::string& data_folder,
                                        const std::string& id);
std::optional<std::string> SetupTextPath(const ToolEnv& env, const std::string& data_folder,
                                         const std::string& id);
// "D\R"; nullopt for an unsafe ID or an empty data folder.
std::optional<std::string> RecorderFolderText(const ToolEnv& env, const std::string& data_folder,
                                              const std::string& id);
// Report of View > Recorder Event Records: the chosen file's folder, "Events" + extension.
std::string EventsReportPath(const std::string& event_file, const StationSettings& s);
// Report of Query > View Data: the chosen file with the report extension in place of its own.
std::string QueryReportPath(const std::string& event_file, const StationSettings& s);
// Help > Help: P + "ZEL.html".
std::string HelpPagePath(const ToolEnv& env);

// The actions of the commands (what to start, in which window mode, what to open).
ToolAction ConnectDialAction(const ToolEnv& env, const StationSettings& s, const RecorderRecord& r);
ToolAction ConnectDirectAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r);
ToolAction RealTimeDialAction(const ToolEnv& env, const StationSettings& s,
                              const RecorderRecord& r);
ToolAction RealTimeDirectAction(const ToolEnv& env, const StationSettings& s,
                                const RecorderRecord& r);
// Converter started hidden, then setupdata.txt opened after 500 ms (also when there is no
// converter: the existing text, if any, is opened).
ToolAction ViewSetupTextAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r);
ToolAction EditSetupAction(const ToolEnv& env, const StationSettings& s, const RecorderRecord& r);
// After the user chose an event file: start the plotter with the recorder folder's setup file.
ToolAction PlotEventsAction(const ToolEnv& env, const StationSettings& s, const RecorderRecord& r,
                            const std::string& event_file);
// Query > Plot Data, after the user chose a file: the plotter started in the recorder folder
// with /setup="setupdata.bin" (relative to that folder).
ToolAction QueryPlotDataAction(const ToolEnv& env, const StationSettings& s,
                               const RecorderRecord& r, const std::string& event_file);

// Carries out an action: starts the program, waits `openDelayMs` through `sleep_ms` (a real
// sleep when empty), opens the file. Returns false when something could not be started or
// opened (the station manager shows nothing; callers may log it).
bool RunToolAction(const ToolAction& action, platform::Launcher& launcher,
                   const std::function<void(int)>& sleep_ms = {});

}  // namespace zel::core
