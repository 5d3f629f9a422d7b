#include "gui/window_capture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace zel::gui {

QString SaveWindowPicture(QWidget* window, const QString& path) {
  if (window == nullptr) return QStringLiteral("there is no window to take a picture of");
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) return QStringLiteral("the folder \"%1\" cannot be made").arg(folder);
  const QPixmap picture = window->grab();
  if (picture.isNull()) return QStringLiteral("the window gave no picture");
  if (!picture.save(path, "PNG")) return QStringLiteral("\"%1\" cannot be written").arg(path);
  return {};
}

QWidget* TopWindow(QWidget* main) {
  QWidget* modal = QApplication::activeModalWidget();
  return modal != nullptr ? modal : main;
}

bool ArmCaptureFromEnvironment(QWidget* main, std::function<void()> beforePicture,
                               std::function<bool()> beforeQuit) {
  const char* target = std::getenv(kCaptureVariable);
  if (target == nullptr || *target == '\0') return false;
  const QString path = QString::fromLocal8Bit(target);
  // Queued behind what the program itself queued on start (the station manager's start-up
  // step), so the picture shows the window as it stands after it; a modal dialog opened there
  // runs its own event loop, in which this fires.
  QTimer::singleShot(
      0, main,
      [main, path, beforePicture = std::move(beforePicture), beforeQuit = std::move(beforeQuit)] {
        if (beforePicture) beforePicture();
        QWidget* top = TopWindow(main);
        if (top != main) QApplication::processEvents();  // let the dialog lay itself out
        const QString error = SaveWindowPicture(top, path);
        if (!error.isEmpty())
          std::fprintf(stderr, "%s: the window picture was not saved: %s.\n",
                       qPrintable(QApplication::applicationName()), qPrintable(error));
        // Leave every event loop first: a message box opened by the closing step (a save that
        // failed) then returns at once instead of waiting for a click nobody makes.
        QApplication::exit(1);
        const bool closed = beforeQuit ? beforeQuit() : true;
        QApplication::exit(error.isEmpty() && closed ? 0 : 1);
      });
  return true;
}

}  // namespace zel::gui
