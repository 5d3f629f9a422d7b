// Window tests: a QApplication on the offscreen platform for every test binary, and a PNG of
// any window saved under the build folder for people to look at.
#pragma once

#include <QString>

class QWidget;

namespace zel::gui::testing {

// Saves `widget` as screenshots/<name>.png in the build folder; returns the path written, or
// an empty string when the image could not be saved.
QString SaveScreenshot(QWidget* widget, const QString& name);

}  // namespace zel::gui::testing
