// ZelOXM, the station manager: builds the main window over the real clock, message boxes,
// process launcher, file dialogs and serial ports, and runs it.
#include <QApplication>
#include <QTimer>

#include "gui/file_chooser.h"
#include "gui/message_prompter.h"
#include "gui/window_capture.h"
#include "station_window.h"
#include "zel/core/paths.h"
#include "zel/platform/serial_ports.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Sockets need no start-up here, so the program cannot fail before its window.
  zel::platform::SystemClock clock;
  zel::gui::MessagePrompter prompter;
  const std::string programFolder = zel::core::ProgramFolder();
  zel::platform::ProcessLauncher launcher(programFolder);
  zel::gui::DialogFileChooser files;

  zel::oxm::StationServices s;
  s.clock = &clock;
  s.prompter = &prompter;
  s.launcher = &launcher;
  s.files = &files;
  s.programFolder = programFolder;
  s.tools = zel::core::CurrentToolEnv();
  s.serialPortNames = [] {
    std::vector<std::string> names;
    for (const auto& p : zel::platform::ListSerialPorts()) names.push_back(p.name);
    return names;
  };
  zel::oxm::StationWindow window(std::move(s));
  prompter.SetParent(&window);
  files.SetParent(&window);
  window.show();
  QTimer::singleShot(0, &window, [&window] { window.Start(); });
  // ZEL_CAPTURE=FILE.png: a picture of the window, File > Save, and the end (demo, install check).
  zel::gui::ArmCaptureFromEnvironment(
      &window, [&window] { window.Tick(); }, [&window] { return window.Save(); });
  return app.exec();
}
