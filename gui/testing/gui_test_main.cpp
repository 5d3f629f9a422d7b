#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

#include "gui_testing.h"

namespace zel::gui::testing {

QString SaveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = QStringLiteral(ZEL_SCREENSHOT_DIR);
  if (!QDir().mkpath(dir)) return {};
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
  return widget->grab().save(path, "PNG") ? path : QString();
}

}  // namespace zel::gui::testing

int main(int argc, char** argv) {
  // Window tests never need a display; a person may still set another platform to watch.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
