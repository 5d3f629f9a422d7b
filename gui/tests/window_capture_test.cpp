#include "gui/window_capture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "gui/message_prompter.h"
#include "zel/testing/temp_folder.h"

namespace zel::gui {
namespace {

// Sets ZEL_CAPTURE for one test and clears it afterwards.
class CaptureVariable {
 public:
  explicit CaptureVariable(const std::string& path) { setenv(kCaptureVariable, path.c_str(), 1); }
  ~CaptureVariable() { unsetenv(kCaptureVariable); }
};

// Runs the application's event loop; a scripted run held by a window nobody closes is ended
// after a generous limit and reported as 99.
int RunLoop() {
  QTimer guard;
  guard.setSingleShot(true);
  bool held = false;
  QObject::connect(&guard, &QTimer::timeout, [&held] {
    held = true;
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    QApplication::exit(99);
  });
  guard.start(20000);
  const int code = QApplication::exec();
  return held ? 99 : code;
}

TEST(WindowCapture, APictureOfTheOpenModalDialogThenTheClosingStepWhoseMessagesCannotHoldIt) {
  zeltest::TempFolder tmp("capture");
  const std::string picture = tmp.File("not/yet/there.png");  // its folders are made
  CaptureVariable env(picture);

  QWidget main;
  main.resize(320, 240);
  main.show();
  // The program's start-up step opens a modal dialog (the station manager's missing data
  // folder), and the scripted run fires inside that dialog's loop.
  bool dialogReturned = false;
  QTimer::singleShot(0, &main, [&] {
    QDialog dialog(&main);
    dialog.setFixedSize(210, 130);
    dialog.exec();
    dialogReturned = true;
  });
  int pictures = 0;
  int closings = 0;
  bool pictureBeforeClosing = false;
  MessagePrompter prompter;
  ASSERT_TRUE(ArmCaptureFromEnvironment(
      &main, [&] { ++pictures; },
      [&] {
        ++closings;
        pictureBeforeClosing = QFileInfo::exists(QString::fromStdString(picture));
        // A save that failed tells the user; nobody is there to press OK.
        prompter.Show("ZEL", "The station file could not be saved.");
        return true;
      }));
  EXPECT_EQ(RunLoop(), 0);
  EXPECT_TRUE(dialogReturned);
  EXPECT_EQ(pictures, 1);
  EXPECT_EQ(closings, 1);
  EXPECT_TRUE(pictureBeforeClosing);
  const QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(210, 130));  // the dialog on top, not the main window
}

TEST(WindowCapture, EndsWithOneWhenThePictureOrTheClosingStepFailsAndDoesNothingUnset) {
  QWidget main;
  main.resize(200, 100);
  main.show();
  {
    // Not armed: nothing is queued that could end the program.
    unsetenv(kCaptureVariable);
    EXPECT_FALSE(ArmCaptureFromEnvironment(&main, {}, [] { return true; }));
    setenv(kCaptureVariable, "", 1);
    EXPECT_FALSE(ArmCaptureFromEnvironment(&main, {}, [] { return true; }));
    unsetenv(kCaptureVariable);
  }
  zeltest::TempFolder tmp("capture");
  {
    // The main window's picture; the closing step (the save) failed.
    CaptureVariable env(tmp.File("main.png"));
    ASSERT_TRUE(ArmCaptureFromEnvironment(&main, {}, [] { return false; }));
    EXPECT_EQ(RunLoop(), 1);
    EXPECT_EQ(QImage(QString::fromStdString(tmp.File("main.png"))).size(), QSize(200, 100));
  }
  {
    // The picture cannot be written (its folder would be under a file); the closing step
    // still runs, so what the user typed is saved.
    std::filesystem::create_directories(tmp.path());
    const std::string blocker = tmp.File("a-file");
    std::FILE* f = std::fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    CaptureVariable env(blocker + "/x.png");
    int closings = 0;
    ASSERT_TRUE(ArmCaptureFromEnvironment(&main, {}, [&] {
      ++closings;
      return true;
    }));
    EXPECT_EQ(RunLoop(), 1);
    EXPECT_EQ(closings, 1);
  }
}

}  // namespace
}  // namespace zel::gui
