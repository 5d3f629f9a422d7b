// ZelRtp: plots one recorder's inputs as they change.
#include <QApplication>

#include "rtp_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  zel::rtp::RtpWindow window(zel::gui::CommandOptions::FromArguments(std::move(args)));
  window.showMaximized();
  return app.exec();
}
