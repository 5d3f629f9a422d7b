// A scripted run of a window program, for the demo and the installation checks: with
// ZEL_CAPTURE set to a PNG path, once the program's window is up, the picture of the window a
// person would see on top (an open modal dialog, else the main window) is saved there, the
// program's own closing step runs (the station manager saves zel.dat, as File > Save), and the
// program ends without asking anything: exit code 0 when both worked, 1 otherwise.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zel::gui {

inline constexpr char kCaptureVariable[] = "ZEL_CAPTURE";

// Saves the picture of `window` as a PNG at `path` (its folder is made when missing); an empty
// string when it worked, else why it did not.
QString SaveWindowPicture(QWidget* window, const QString& path);

// The window a person sees on top: the active modal dialog when one is open, else `main`.
QWidget* TopWindow(QWidget* main);

// Arms the scripted run when ZEL_CAPTURE is set (call after the main window is shown); false
// when it is not set. `beforePicture` brings the window up to date (the station manager's
// clock line); `beforeQuit` runs after the picture was taken and returns false when it failed.
// Message boxes opened from then on return at once, so nothing can hold the program.
bool ArmCaptureFromEnvironment(QWidget* main, std::function<void()> beforePicture,
                               std::function<bool()> beforeQuit);

}  // namespace zel::gui
