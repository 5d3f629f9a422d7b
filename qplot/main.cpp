// ZelQplot: ZelQplot [template] /event=path /setup=path [/zoom=HH:MM-HH:MM] [/export=FILE]
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "gui/message_prompter.h"
#include "gui/model/command_options.h"
#include "main_frame.h"
#include "model/event_data.h"
#include "plot_export.h"
#include "qplot_view.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const auto options = zel::gui::CommandOptions::FromArguments(args);
  zel::qplot::StartOptions start;
  start.templatePath = options.FirstNonOption().value_or("");
  start.eventPath = options.Value("event").value_or("");
  start.setupPath = options.Value("setup").value_or("");
  start.zoom = options.Value("zoom").value_or("");
  std::error_code ec;
  start.programFolder = std::filesystem::canonical("/proc/self/exe", ec).parent_path().string();
  const auto exportPath = options.Value("export");
  if (exportPath) {
    // Drawn without a window: no display is needed.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZELQplot"));
  if (exportPath) {
    zel::platform::ConsolePrompter prompter;
    zel::platform::ProcessLauncher launcher(start.programFolder);
    zel::qplot::CMainFrame frame(start, prompter, launcher);
    const auto r = frame.data().Loaded() ? zel::qplot::LoadResult::kOk
                                         : zel::qplot::LoadResult::kEventFileNotFound;
    if (r != zel::qplot::LoadResult::kOk) return 1;
    std::string error;
    if (!zel::qplot::ExportPlot(*exportPath, frame.data(), frame.doc(), frame.view()->view(),
                                &error)) {
      std::fprintf(stderr, "ZelQplot: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  zel::gui::MessagePrompter prompter;
  zel::platform::ProcessLauncher launcher(start.programFolder);
  zel::qplot::CMainFrame frame(start, prompter, launcher);
  prompter.SetParent(&frame);
  frame.show();
  return app.exec();
}
