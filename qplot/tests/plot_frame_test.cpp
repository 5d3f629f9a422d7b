// The main window driven as a person drives it: label and plot drags, arrow keys, the mouse
// wheel, a dropped template, the recent-files list, Export Events, Capture Window, the toolbar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <random>

#include "../model/tests/event_bytes.h"
#include "gui/testing/gui_testing.h"
#include "gui/timing_painter.h"
#include "main_frame.h"
#include "plot_export.h"
#include "qplot_view.h"
#include "zel/day_number.h"
#include "zel/testing/temp_folder.h"

namespace zel::qplot {
namespace {

namespace fs = std::filesystem;
using testing::EventBytes;

const uint16_t kDate = PackDate(24, 3, 15);

struct Window {
  zeltest::TempFolder temp{"qplot_frame"};
  fs::path dir = temp.path();
  platform::RecordingPrompter prompter;
  platform::RecordingLauncher launcher;
  std::unique_ptr<CMainFrame> frame;
  explicit Window(const EventBytes& events) {
    Write(dir / "a.bin", events.bytes());
    SetupDatabase setup(model::kKrv517xl);
    setup.SetName(0, "Track, north");
    Write(dir / "s.bin", setup.SaveBytes());
    StartOptions o;
    o.eventPath = (dir / "a.bin").string();
    o.setupPath = (dir / "s.bin").string();
    frame = std::make_unique<CMainFrame>(o, prompter, launcher);
    frame->resize(1060, 600);
    frame->show();
  }
  ~Window() {
    frame->doc().SetModified(false);
    frame.reset();
  }
  static void Write(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  CZelQplotView* view() const { return frame->view(); }
  QWidget* viewport() const { return frame->view()->viewport(); }
  QString Path(const char* name) const { return QString::fromStdString((dir / name).string()); }
};

EventBytes DayOfEvents() {
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.Add(3000000, 0, 1);
  e.Add(3100000, 1, 1);
  e.Add(4320000, 0, 0);
  e.Add(6000000, 2, 1);
  return e;
}

void Wheel(QWidget* target, QPoint at, int delta, Qt::KeyboardModifiers modifiers) {
  QWheelEvent ev(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                 Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &ev);
}

// Dragging channel 10's label to row 3 moves it there, shifts 3-9 down and the cursor on
// channel 5 follows to 6; a drag in the plot pans by the distance.
TEST(PlotFrame, LabelAndPlotDrags) {
  Window w(DayOfEvents());
  PlotView& v = w.view()->view();
  v.SetCursorTime(0, v.TimeOfX(500), 5);
  QTest::mousePress(w.viewport(), Qt::LeftButton, {}, QPoint(40, RowTop(10) + 7));
  QTest::mouseRelease(w.viewport(), Qt::LeftButton, {}, QPoint(40, RowTop(3) + 7));
  EXPECT_EQ(w.frame->doc().Channel(3).input, 10);
  EXPECT_EQ(w.frame->doc().Channel(4).input, 3);
  EXPECT_EQ(w.frame->doc().Channel(10).input, 9);
  EXPECT_EQ(v.GetCursor(0).channel, 6);
  EXPECT_TRUE(w.frame->doc().IsModified());

  const double left = v.Left();
  const int64_t scale = v.Scale();
  QTest::mousePress(w.viewport(), Qt::LeftButton, {}, QPoint(600, 100));
  QTest::mouseRelease(w.viewport(), Qt::LeftButton, {}, QPoint(500, 100));
  EXPECT_EQ(v.Left(), left + 100.0 * static_cast<double>(scale));
}

// Left and Right pan 100 units, Home and End show the interval's ends, Down and Page Down
// scroll the rows.
TEST(PlotFrame, ArrowAndPageKeys) {
  Window w(DayOfEvents());
  PlotView& v = w.view()->view();
  v.SetLeftAndScale(v.IntervalStart(), 1024);
  QTest::keyClick(w.view(), Qt::Key_Right);
  EXPECT_EQ(v.Left(), v.IntervalStart() + 100.0 * 1024);
  QTest::keyClick(w.view(), Qt::Key_Right);
  QTest::keyClick(w.view(), Qt::Key_Left);
  EXPECT_EQ(v.Left(), v.IntervalStart() + 100.0 * 1024);
  QTest::keyClick(w.view(), Qt::Key_End);
  EXPECT_GE(v.XOfTime(v.IntervalEnd()), kPlotLeft);
  EXPECT_LE(v.XOfTime(v.IntervalEnd()), kPlotRight);
  QTest::keyClick(w.view(), Qt::Key_Home);
  EXPECT_EQ(v.XOfTime(v.IntervalStart()), kPlotLeft);
  QScrollBar* bar = w.view()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), 0);
  QTest::keyClick(w.view(), Qt::Key_Down);
  EXPECT_EQ(bar->value(), bar->singleStep());
  QTest::keyClick(w.view(), Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), bar->singleStep() + bar->pageStep());
  QTest::keyClick(w.view(), Qt::Key_PageUp);
  QTest::keyClick(w.view(), Qt::Key_Up);
  EXPECT_EQ(bar->value(), 0);
}

// The wheel scrolls rows, Shift+wheel pans, Ctrl+wheel zooms keeping the time under the mouse.
TEST(PlotFrame, MouseWheelInTheWindow) {
  Window w(DayOfEvents());
  PlotView& v = w.view()->view();
  QScrollBar* bar = w.view()->verticalScrollBar();
  Wheel(w.viewport(), QPoint(500, 100), -120, Qt::NoModifier);
  EXPECT_EQ(bar->value(), 3 * kRowHeight);
  Wheel(w.viewport(), QPoint(500, 100), 120, Qt::NoModifier);
  EXPECT_EQ(bar->value(), 0);
  v.SetLeftAndScale(v.IntervalStart() + 1000000, 512);
  Wheel(w.viewport(), QPoint(500, 100), 120, Qt::ShiftModifier);
  EXPECT_EQ(v.Left(), v.IntervalStart() + 1000000 - 100.0 * 512);
  const double at = v.TimeOfX(500);
  Wheel(w.viewport(), QPoint(500, 100), 120, Qt::ControlModifier);
  EXPECT_EQ(v.Scale(), 256);
  EXPECT_NEAR(v.TimeOfX(500), at, 512);
  Wheel(w.viewport(), QPoint(500, 100), -240, Qt::ControlModifier);
  EXPECT_EQ(v.Scale(), 1024);
}

// A .zpl dropped on the window opens; other files are refused. Opened templates go to the
// recent-files list, four at most, newest first, and an entry opens its file.
TEST(PlotFrame, DroppedTemplateAndRecentFiles) {
  Window w(DayOfEvents());
  QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZELQplot"));
  const QVariant kept = settings.value(QStringLiteral("recent"));
  settings.remove(QStringLiteral("recent"));
  std::vector<QString> paths;
  for (int i = 0; i < 5; ++i) {
    CZelQplotDoc t;
    t.SetInputCount(360);
    t.NewDocument();
    t.SetChannelInput(0, 100 + i);
    const QString p = w.Path(("t" + std::to_string(i) + ".zpl").c_str());
    std::string error;
    ASSERT_TRUE(t.Save(p.toStdString(), &error)) << error;
    paths.push_back(p);
  }
  // The application holds drop events back while no drag runs, so they go to the window's
  // own event handler, as the window system's drag delivers them.
  auto drop = [&](const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(w.frame.get())->event(&enter);
    if (!enter.isAccepted()) return false;
    QDropEvent ev(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(w.frame.get())->event(&ev);
    return ev.isAccepted();
  };
  EXPECT_TRUE(drop(paths[0]));
  EXPECT_EQ(w.frame->doc().Channel(0).input, 100);
  EXPECT_TRUE(w.frame->windowTitle().startsWith(QStringLiteral("t0.zpl")));
  EXPECT_FALSE(drop(w.Path("a.bin")));
  EXPECT_EQ(w.frame->doc().Channel(0).input, 100);
  for (int i = 1; i < 5; ++i) ASSERT_TRUE(w.frame->OpenTemplate(paths[static_cast<size_t>(i)]));
  const QStringList recent = settings.value(QStringLiteral("recent")).toStringList();
  ASSERT_EQ(recent.size(), 4);
  EXPECT_EQ(recent[0], paths[4]);
  EXPECT_EQ(recent[3], paths[1]);
  QAction* second = w.frame->Action(QStringLiteral("2 ") + paths[3]);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isVisible());
  EXPECT_EQ(w.frame->Action(QStringLiteral("1 ") + paths[0]), nullptr);
  second->trigger();
  EXPECT_EQ(w.frame->doc().Channel(0).input, 103);
  EXPECT_EQ(settings.value(QStringLiteral("recent")).toStringList()[0], paths[3]);
  if (kept.isValid())
    settings.setValue(QStringLiteral("recent"), kept);
  else
    settings.remove(QStringLiteral("recent"));
}

// Export Events writes the shown range's events of the shown inputs; a folder that does not
// exist gives a message and no file.
TEST(PlotFrame, ExportEventsCsv) {
  Window w(DayOfEvents());
  w.frame->doc().SetChannelInput(2, kNoInput);  // input 2's event is left out
  const QString csv = w.Path("events.csv");
  ASSERT_TRUE(w.frame->ExportEvents(csv));
  QFile f(csv);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QStringList lines =
      QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "state,time,date,input,special,abs_time,values,identifier,name");
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("192,3000000,03/15/24,0,")))
      << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",D001,\"Track, north\"")))
      << lines[1].toStdString();
  EXPECT_TRUE(lines[3].contains(QStringLiteral(",4320000,"))) << lines[3].toStdString();
  EXPECT_TRUE(w.prompter.entries().empty());
  EXPECT_FALSE(w.frame->ExportEvents(w.Path("missing/events.csv")));
  ASSERT_EQ(w.prompter.entries().size(), 1u);
  EXPECT_NE(w.prompter.entries()[0].text.find("could not be written"), std::string::npos);
}

// File > Export Image... writes the view's drawing of the whole plot, at the view's range and
// with its cursors, through the suite's image writer; a missing folder or an unknown type gives
// a message and no file.
TEST(PlotFrame, ExportImage) {
  Window w(DayOfEvents());
  PlotView& v = w.view()->view();
  v.SetLeftAndScale(v.IntervalStart() + 2900000, 2048);
  v.SetCursorTime(1, v.IntervalStart() + 3000000, 0);
  const QString png = w.Path("plot.png");
  ASSERT_TRUE(w.frame->ExportImage(png));
  const QImage written(png);
  const QImage expected = RenderPlotImage(w.frame->data(), w.frame->doc(), v);
  ASSERT_EQ(written.size(), QSize(kScrollWidth, ScrollHeight()));
  EXPECT_TRUE(written.convertToFormat(QImage::Format_RGB32) == expected);
  EXPECT_EQ(written.pixel(v.XOfTime(v.IntervalStart() + 3000000), 1) | 0xFF000000u,
            gui::ColorOfColorRef(gui::kCursor2ColorRef).rgb() | 0xFF000000u);
  EXPECT_TRUE(w.prompter.entries().empty());
  EXPECT_FALSE(w.frame->ExportImage(w.Path("missing/plot.png")));
  EXPECT_FALSE(w.frame->ExportImage(w.Path("plot.bmp")));
  EXPECT_FALSE(QFile::exists(w.Path("plot.bmp")));
  ASSERT_EQ(w.prompter.entries().size(), 2u);
  EXPECT_NE(w.prompter.entries()[0].text.find("could not be written"), std::string::npos);
  EXPECT_NE(w.prompter.entries()[1].text.find("no known image type"), std::string::npos);
}

// Capture Window: the window's picture on the clipboard and in a time-stamped PNG, which is
// then opened with the desktop.
TEST(PlotFrame, CaptureWindow) {
  Window w(DayOfEvents());
  const QString folder = w.Path("pictures");
  w.frame->CaptureAndOpen(folder);
  const auto opened = w.launcher.opened();
  ASSERT_EQ(opened.size(), 1u);
  const QString file = QString::fromStdString(opened[0]);
  EXPECT_TRUE(file.startsWith(folder));
  EXPECT_TRUE(
      QRegularExpression(QStringLiteral("ZELQplot-\\d{8}-\\d{6}\\.png$")).match(file).hasMatch())
      << opened[0];
  QImage image(file);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), w.frame->grab().size());
  EXPECT_FALSE(QApplication::clipboard()->image().isNull());
  // A folder that cannot be made: a message, nothing opened.
  w.frame->CaptureAndOpen(QStringLiteral("/proc/no-such-folder"));
  EXPECT_EQ(w.launcher.opened().size(), 1u);
  ASSERT_EQ(w.prompter.entries().size(), 1u);
  EXPECT_NE(w.prompter.entries()[0].text.find("still on the clipboard"), std::string::npos);
}

// The toolbar's buttons run the menu commands; View > Toolbar hides and shows it.
TEST(PlotFrame, Toolbar) {
  Window w(DayOfEvents());
  auto* bar = w.frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
  ASSERT_NE(bar, nullptr);
  QStringList texts;
  for (QAction* a : bar->actions())
    if (!a->isSeparator()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"New", "Open", "Save", "Print", "Zoom In 2x", "Zoom Out 2x",
                                "Zoom All", "Equations", "Help"}));
  EXPECT_FALSE(
      gui::testing::SaveScreenshot(w.frame.get(), QStringLiteral("qplot_toolbar")).isEmpty());
  PlotView& v = w.view()->view();
  const int64_t scale = v.Scale();
  auto button = [&](const QString& text) {
    for (QAction* a : bar->actions())
      if (a->text() == text) return a;
    return static_cast<QAction*>(nullptr);
  };
  button(QStringLiteral("Zoom In 2x"))->trigger();
  EXPECT_EQ(v.Scale(), scale / 2);
  button(QStringLiteral("Zoom All"))->trigger();
  EXPECT_EQ(v.Scale(), scale);
  button(QStringLiteral("Help"))->trigger();
  ASSERT_EQ(w.launcher.opened().size(), 1u);
  EXPECT_TRUE(
      QString::fromStdString(w.launcher.opened()[0]).endsWith(QStringLiteral("ZELQplot.html")));
  QAction* show = w.frame->Action(QStringLiteral("Toolbar"));
  ASSERT_NE(show, nullptr);
  EXPECT_TRUE(show->isChecked());
  show->trigger();
  EXPECT_FALSE(bar->isVisible());
  show->trigger();
  EXPECT_TRUE(bar->isVisible());
}

// What the redraw's shortcuts rely on: an edge between the two levels has the same pixels in
// either direction and covers the points at its ends; one call for many lines draws what one
// call per line draws.
TEST(PlotDrawing, EdgesCoverTheirEndsAndBatchedLinesMatchSingleOnes) {
  auto image = [](const std::function<void(gui::TimingPainter&)>& draw) {
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    gui::TimingPainter tp(p);
    draw(tp);
    p.end();
    return img;
  };
  const QColor red(255, 0, 0);
  const int top = 15;
  const QImage down = image([&](gui::TimingPainter& tp) {
    tp.DrawSegment(50, 50, LevelY(top, true), true, LevelY(top, false), false, 0, 0, red);
  });
  const QImage up = image([&](gui::TimingPainter& tp) {
    tp.DrawSegment(50, 50, LevelY(top, false), true, LevelY(top, true), false, 0, 0, red);
  });
  const QImage with_points = image([&](gui::TimingPainter& tp) {
    tp.DrawSegment(50, 50, LevelY(top, true), true, LevelY(top, false), false, 0, 0, red);
    tp.DrawSegment(50, 50, LevelY(top, true), true, LevelY(top, true), false, 0, 0, red);
    tp.DrawSegment(50, 50, LevelY(top, false), true, LevelY(top, false), false, 0, 0, red);
    tp.DrawSegment(50, 50, LevelY(top, false), true, LevelY(top, true), false, 0, 0, red);
  });
  EXPECT_TRUE(down == up);
  EXPECT_TRUE(down == with_points);
  EXPECT_EQ(down.pixel(50, LevelY(top, true)) | 0xFF000000u, red.rgb() | 0xFF000000u);
  EXPECT_EQ(down.pixel(50, LevelY(top, false)) | 0xFF000000u, red.rgb() | 0xFF000000u);

  std::mt19937 rng(5);
  struct Piece {
    int x0, x1, from, to;
    bool edge, hatch;
  };
  std::vector<Piece> pieces;
  for (int i = 0; i < 300; ++i) {
    const int x0 = static_cast<int>(rng() % 190);
    const int x1 = rng() % 3 == 0 ? x0 : x0 + static_cast<int>(rng() % (195 - x0));
    pieces.push_back({x0, x1, LevelY(top, rng() % 2 == 0), LevelY(top, rng() % 2 == 0),
                      rng() % 4 != 0, rng() % 5 == 0});
  }
  const QImage single = image([&](gui::TimingPainter& tp) {
    for (const Piece& q : pieces)
      tp.DrawSegment(q.x0, q.x1, q.from, q.edge, q.to, q.hatch, top + 2, top + 12, red);
  });
  const QImage batched = image([&](gui::TimingPainter& tp) {
    std::vector<QLine> lines;
    for (const Piece& q : pieces)
      gui::TimingPainter::SegmentLines(q.x0, q.x1, q.from, q.edge, q.to, q.hatch, top + 2, top + 12,
                                       lines);
    tp.DrawLines(lines, red);
  });
  EXPECT_TRUE(single == batched);
}

}  // namespace
}  // namespace zel::qplot
