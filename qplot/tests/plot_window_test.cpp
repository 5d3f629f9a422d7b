#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <random>

#include "../model/tests/event_bytes.h"
#include "gui/image_export.h"
#include "gui/input_selection_dialog.h"
#include "gui/testing/gui_testing.h"
#include "gui/timing_painter.h"
#include "main_frame.h"
#include "plot_export.h"
#include "plot_renderer.h"
#include "qplot_view.h"
#include "zel/day_number.h"
#include "zel/testing/temp_folder.h"

namespace zel::qplot {
namespace {

namespace fs = std::filesystem;
using testing::EventBytes;

const uint16_t kDate = PackDate(24, 3, 15);

struct Folder {
  zeltest::TempFolder temp{"qplot_win"};
  fs::path dir = temp.path();
};

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

QRgb Rgb(uint32_t colorref) { return gui::ColorOfColorRef(colorref).rgb() | 0xFF000000u; }
QRgb Px(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }

struct Plot {
  EventData data;
  CZelQplotDoc doc;
  PlotView view;
  void Start(const std::vector<uint8_t>& bytes, std::unique_ptr<SetupDatabase> setup) {
    ASSERT_EQ(data.LoadBytes(bytes, std::move(setup)), LoadResult::kOk);
    doc.SetInputCount(data.InputCount());
    doc.NewDocument();
    view.SetInterval(data.IntervalStart(), data.IntervalEnd());
    view.ZoomAll();
  }
};

// A 1/100 s KRV-517XL file: input 0 flashing with a hatched on-to-off segment, input 1 plain.
TEST(PlotDrawing, EdgesLevelsHatchingAndCursorsAtTheComputedPixels) {
  auto setup = std::make_unique<SetupDatabase>(model::kKrv517xl);
  setup->SetFlashEnabled(0, true);
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 15000);
  e.SetInitial(0, 1);
  e.Add(2000, 0, 0);
  e.Add(3000, 1, 1);  // x 278
  e.Add(5000, 1, 0);
  Plot p;
  p.Start(e.bytes(), std::move(setup));
  p.doc.SetChannelColor(1, 0x000000FF);  // red
  p.view.SetLeftAndScale(p.data.IntervalStart(), 20);
  p.view.SetCursorTime(0, p.data.IntervalStart() + 4000, 1);  // green, x = 328
  p.view.SetCursorTime(1, p.data.IntervalStart() + 1000, 0);  // red, x = 178
  const QImage img = RenderPlotImage(p.data, p.doc, p.view);
  ASSERT_EQ(img.width(), 1004);
  ASSERT_EQ(img.height(), 4035);
  const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), red = qRgb(255, 0, 0);
  // Channel 0: high from 128 to x 228, edge down at 228, low after it.
  const int top0 = RowTop(0), top1 = RowTop(1);
  const int x_edge0 = p.view.XOfTime(p.data.IntervalStart() + 2000);
  ASSERT_EQ(x_edge0, 228);
  EXPECT_EQ(Px(img, 200, top0 + 2), black);
  EXPECT_EQ(Px(img, x_edge0, top0 + 7), black);
  EXPECT_EQ(Px(img, 260, top0 + 12), black);
  EXPECT_EQ(Px(img, 260, top0 + 2), white);
  // Hatching of the flashing segment: the line x + y = k (k a multiple of 4) crosses the band.
  const int hy = top0 + 7;
  const int hx = 200 - ((200 + hy) % 4);  // on the pattern
  EXPECT_EQ(Px(img, hx, hy), black);
  EXPECT_EQ(Px(img, hx + 2, hy), white);
  // Channel 1 in red: low to 278, up, high to 378, down.
  EXPECT_EQ(Px(img, 250, top1 + 12), red);
  EXPECT_EQ(Px(img, 278, top1 + 7), red);
  EXPECT_EQ(Px(img, 300, top1 + 2), red);
  EXPECT_EQ(Px(img, 378, top1 + 7), red);
  EXPECT_EQ(Px(img, 400, top1 + 12), red);
  EXPECT_EQ(Px(img, 400, top1 + 2), white);
  // The trace ends at the interval end's x.
  const int x_end = p.view.XOfTime(p.data.IntervalEnd());
  ASSERT_EQ(x_end, 878);
  EXPECT_EQ(Px(img, x_end, top1 + 12), red);
  EXPECT_EQ(Px(img, x_end + 2, top1 + 12), white);
  // Cursor 1 green from the top to the bottom of the rows at x 328 (header row 1 and channel 40);
  // its X mark on channel 1: the diagonal passes its centre.
  EXPECT_EQ(Px(img, 328, HeaderRowTop(1) + 7), Rgb(gui::kCursor1ColorRef));
  EXPECT_EQ(Px(img, 328, RowTop(40) + 5), Rgb(gui::kCursor1ColorRef));
  EXPECT_EQ(Px(img, 324, top1 + 3), Rgb(gui::kCursor1ColorRef));
  EXPECT_EQ(Px(img, 332, top1 + 3), Rgb(gui::kCursor1ColorRef));
  EXPECT_EQ(Px(img, 178, RowTop(100) + 1), Rgb(gui::kCursor2ColorRef));
  // Grid: 1/100 s at scale 20 labels every 3000 ticks (30 s, 150 units): x 278 is a labelled
  // line, grey in a row with no trace; ticks every 500 ticks (25 units) in the header rows only.
  EXPECT_EQ(Px(img, 278, RowTop(200) + 7), Rgb(gui::kGridColorRef));
  EXPECT_EQ(Px(img, 253, HeaderRowTop(2) + 8), Rgb(gui::kGridColorRef));
  EXPECT_EQ(Px(img, 253, RowTop(200) + 7), white);
  // No grid line right of the interval end: with the view 6000 ticks later the line at 15000
  // (x 578) is drawn, the one at 18000 (x 728) is not.
  PlotView later = p.view;
  later.SetLeftAndScale(p.data.IntervalStart() + 6000, 20);
  const QImage img2 = RenderPlotImage(p.data, p.doc, later);
  EXPECT_EQ(Px(img2, 578, RowTop(200) + 7), Rgb(gui::kGridColorRef));
  EXPECT_EQ(Px(img2, 728, RowTop(200) + 7), white);
  QImage copy = img.copy(0, 0, 1004, 400);
  copy.save(QStringLiteral(ZEL_SCREENSHOT_DIR "/qplot_drawing_517xl.png"));
}

TEST(PlotDrawing, ThousandthsAndKrv583FamilyTraces) {
  EventBytes e(EventFileType::k19XL, kDate, 0, kDate, 200000);
  e.Add(50000, 2, 1);  // scale 500: x = 228
  Plot p;
  p.Start(e.bytes(), nullptr);
  p.view.SetLeftAndScale(p.data.IntervalStart(), 500);
  QImage img = RenderPlotImage(p.data, p.doc, p.view);
  const int top = RowTop(2);
  EXPECT_EQ(Px(img, 200, top + 12), qRgb(0, 0, 0));
  EXPECT_EQ(Px(img, 228, top + 7), qRgb(0, 0, 0));
  EXPECT_EQ(Px(img, 300, top + 2), qRgb(0, 0, 0));
  EXPECT_EQ(Px(img, 300, top + 12), qRgb(255, 255, 255));

  // KRV-583: input 0 coding (2) then a record of state 2 again: hatched, edge to the opposite.
  EventBytes k(EventFileType::k583, kDate, 0, kDate, 50000);
  k.SetInitial(0, 2);
  k.Add(2000, 0, 2);  // scale 20: x 228; the edge goes to low (opposite of the old high)
  Plot q;
  q.Start(k.bytes(), nullptr);
  q.view.SetLeftAndScale(q.data.IntervalStart(), 20);
  img = RenderPlotImage(q.data, q.doc, q.view);
  const int t0 = RowTop(0);
  EXPECT_EQ(Px(img, 228, t0 + 7), qRgb(0, 0, 0));
  const int hy = t0 + 7;
  EXPECT_EQ(Px(img, 200 - ((200 + hy) % 4), hy), qRgb(0, 0, 0));  // hatched before the edge
  EXPECT_EQ(Px(img, 228, t0 + 12), qRgb(0, 0, 0));                // the edge reaches low
  // The new state 2 is nonzero: the final segment runs high again, hatched.
  EXPECT_EQ(Px(img, 300, t0 + 2), qRgb(0, 0, 0));
  EXPECT_EQ(Px(img, 300, t0 + 12), qRgb(255, 255, 255));
  EXPECT_EQ(Px(img, 300 - ((300 + hy) % 4), hy), qRgb(0, 0, 0));
}

// The index draws the same image as the pass from the first record, pixel for pixel.
TEST(PlotDrawing, IndexedImageEqualsTheFullPass) {
  std::mt19937 rng(7);
  for (EventFileType type : {EventFileType::k517XL, EventFileType::k583A, EventFileType::k37E}) {
    const auto& layout = *FindEventLayout(type);
    const int64_t per_day = TicksPerDay(layout.ticksPerSecond);
    EventBytes e(type, kDate, 0, kDate, static_cast<uint32_t>(per_day - 1));
    uint32_t t = 0;
    for (int r = 0; r < 20000; ++r) {
      t = std::min<uint32_t>(static_cast<uint32_t>(per_day - 1),
                             t + rng() % static_cast<uint32_t>(per_day / 10000));
      e.Add(t, static_cast<int>(rng() % 16), static_cast<int>(rng() % 4));
    }
    RecorderType model_type = -1;
    for (RecorderType m = 0; m < kModelTypeCount && model_type < 0; ++m)
      if (EventFileTypeOfModel(m) == type) model_type = m;
    auto setup = std::make_unique<SetupDatabase>(model_type);
    for (int i = 0; i < 16; i += 2) setup->SetFlashEnabled(i, true);
    Plot p;
    p.Start(e.bytes(), std::move(setup));
    p.data.SetCheckpointSpacing(512);
    CVequation q;
    q.in = {1, kNoInput, 3, 5};
    q.table = {0, 1, 1, 0, 1, 0, 0, 1};
    p.doc.SetEquation(0, q);
    p.doc.SetChannelInput(16, p.data.InputCount());
    for (int v = 0; v < 6; ++v) {
      const int64_t scale = int64_t{1} << (rng() % 14);
      p.view.SetLeftAndScale(
          p.data.IntervalStart() + static_cast<double>(rng() % static_cast<uint32_t>(per_day)),
          scale);
      p.view.SetCursorTime(0, p.view.TimeOfX(500), static_cast<int>(rng() % 20));
      const QImage full = RenderPlotImage(p.data, p.doc, p.view, true);
      const QImage indexed = RenderPlotImage(p.data, p.doc, p.view, false);
      ASSERT_TRUE(full == indexed) << "type " << static_cast<int>(type) << " view " << v;
    }
  }
}

// The widest views of a dense file, where a pixel column holds many changes of one input: the
// index draws the full pass's image too, for the whole area and for a screen's scrolled part,
// with bursts and quiet stretches (hatched), the KRV-583 family's edges, an equation and an
// input shown on two channels.
TEST(PlotDrawing, IndexedImageEqualsTheFullPassAtTheWidestZoomOfADenseFile) {
  std::mt19937 rng(12);
  for (EventFileType type : {EventFileType::k517XL, EventFileType::k583}) {
    const auto& layout = *FindEventLayout(type);
    const int64_t per_day = TicksPerDay(layout.ticksPerSecond);
    EventBytes e(type, kDate, 0, kDate, static_cast<uint32_t>(per_day - 1));
    uint32_t t = 0;
    for (int r = 0; r < 60000; ++r) {
      // Mostly a change every few hundredths; now and then a quiet stretch of a few columns.
      t += rng() % 2000 == 0 ? static_cast<uint32_t>(per_day / 200)
                             : rng() % static_cast<uint32_t>(per_day / 30000);
      t = std::min<uint32_t>(static_cast<uint32_t>(per_day - 1), t);
      e.Add(t, static_cast<int>(rng() % 8), static_cast<int>(rng() % 4));
    }
    RecorderType model_type = -1;
    for (RecorderType m = 0; m < kModelTypeCount && model_type < 0; ++m)
      if (EventFileTypeOfModel(m) == type) model_type = m;
    auto setup = std::make_unique<SetupDatabase>(model_type);
    for (int i = 0; i < 8; i += 2) setup->SetFlashEnabled(i, true);
    Plot p;
    p.Start(e.bytes(), std::move(setup));
    CVequation q;
    q.in = {0, 1, kNoInput, kNoInput};
    q.table = {0, 1, 1, 0, 0, 1, 1, 0};
    p.doc.SetEquation(0, q);
    p.doc.SetChannelInput(8, p.data.InputCount());
    p.doc.SetChannelInput(30, 3);
    for (int v = 0; v < 4; ++v) {
      p.view.ZoomAll();
      if (v == 1) p.view.ZoomOut(2);
      if (v == 2) p.view.ZoomIn(2);
      if (v == 3) p.view.SetLeftAndScale(p.view.Left() + 200.0 * p.view.Scale(), p.view.Scale());
      ASSERT_GE(p.data.RecordCount() * p.view.Scale() / per_day, 8);  // changes per column
      const QImage full = RenderPlotImage(p.data, p.doc, p.view, true);
      const QImage indexed = RenderPlotImage(p.data, p.doc, p.view, false);
      ASSERT_TRUE(full == indexed) << "type " << static_cast<int>(type) << " view " << v;
    }
    // The screen's way: scrolled down by whole pixels, only the rows in the window drawn.
    auto screen = [&](bool full_pass) {
      return gui::RenderImage(QSize(kScrollWidth, 500), [&](QPainter& painter) {
        painter.translate(0, -310);
        RenderOptions options;
        options.fullPass = full_pass;
        options.clipTop = 310;
        options.clipBottom = 810;
        DrawPlot(painter, p.data, p.doc, p.view, options);
      });
    };
    ASSERT_TRUE(screen(true) == screen(false)) << "type " << static_cast<int>(type);
  }
}

TEST(PlotWindow, LoadMessagesStatusPanesAndScreenshot) {
  Folder f;
  platform::RecordingPrompter prompter;
  platform::RecordingLauncher launcher;
  StartOptions o;
  o.eventPath = (f.dir / "missing.bin").string();
  o.setupPath = (f.dir / "setup.bin").string();
  {
    CMainFrame frame(o, prompter, launcher);
    ASSERT_EQ(prompter.entries().size(), 1u);
    EXPECT_EQ(prompter.entries()[0].text, "Event file not found");
    EXPECT_EQ(frame.data().InputCount(), 0);
    EXPECT_EQ(frame.PaneText(1), "00/00/00 00:00:00.000");
    EXPECT_EQ(frame.PaneText(3), "+00 00:00:00.000");
  }
  auto setup = SetupDatabase(model::kKrv517xl);
  setup.SetName(0, "Track 1 occupied");
  setup.SetName(1, "Gate down");
  setup.SetUnitName("North Yard");
  setup.SetFlashEnabled(2, true);
  WriteFile(f.dir / "setup.bin", setup.SaveBytes());
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.SetInitial(2, 1);
  uint32_t t = 3000000;
  for (int i = 0; i < 60; ++i) {
    t += 20000 + static_cast<uint32_t>(i * 997 % 30000);
    e.Add(t, i % 5, (i / 5) % 2 == 0 ? 1 : 0);
  }
  WriteFile(f.dir / "a.bin", e.bytes());
  o.eventPath = (f.dir / "a.bin").string();
  o.zoom = "08:30-09:15";
  CMainFrame frame(o, prompter, launcher);
  EXPECT_EQ(prompter.entries().size(), 1u);
  EXPECT_EQ(frame.view()->view().Left(), 8840.0 * 8640000 + 3060000);
  EXPECT_EQ(frame.view()->view().Scale(), 512);
  EXPECT_EQ(frame.PaneText(1), "No Cursor1");
  EXPECT_EQ(frame.PaneText(2), "No Cursor2");
  EXPECT_FALSE(frame.PaneEnabled(3));
  frame.view()->view().SetCursorTime(0, 8840.0 * 8640000 + 3100000, 0);
  frame.view()->view().SetCursorTime(1, 8840.0 * 8640000 + 3100200, 1);
  frame.UpdateStatus();
  EXPECT_EQ(frame.PaneText(1), "03/15/24 08:36:40.00");
  EXPECT_EQ(frame.PaneText(3), "+00:00:02.00");
  EXPECT_TRUE(frame.PaneEnabled(3));
  ASSERT_NE(frame.Action("Zoom All"), nullptr);
  EXPECT_EQ(frame.Action("Zoom All")->statusTip(), "Zoom so entire day is visible");
  frame.resize(1060, 600);
  frame.show();
  EXPECT_FALSE(gui::testing::SaveScreenshot(&frame, QStringLiteral("qplot_main_frame")).isEmpty());
  frame.view()->ZoomAll();
  EXPECT_FALSE(
      gui::testing::SaveScreenshot(&frame, QStringLiteral("qplot_main_frame_zoom_all")).isEmpty());
  frame.doc().SetModified(false);
}

TEST(PlotDialogs, SelectInputsSortsByHeaderAndFillsFromTheChannel) {
  Folder f;
  auto setup = SetupDatabase(model::kKrv517xl);
  setup.SetName(0, "Alpha");
  setup.SetName(1, "Charlie");
  setup.SetName(2, "Bravo");
  WriteFile(f.dir / "s.bin", setup.SaveBytes());
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  WriteFile(f.dir / "a.bin", e.bytes());
  platform::RecordingPrompter prompter;
  platform::RecordingLauncher launcher;
  StartOptions o;
  o.eventPath = (f.dir / "a.bin").string();
  o.setupPath = (f.dir / "s.bin").string();
  CMainFrame frame(o, prompter, launcher);
  frame.SelectInputs(253, [](QDialog& d) {
    auto& dialog = dynamic_cast<gui::InputSelectionDialog&>(d);
    auto* model = dialog.model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "^Input");
    dialog.ClickHeader(1);
    dialog.ClickHeader(1);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "vName");
    EXPECT_EQ(model->data(model->index(0, 1), Qt::DisplayRole).toString(), "Charlie");
    EXPECT_EQ(model->data(model->index(1, 1), Qt::DisplayRole).toString(), "Bravo");
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Input");
    dialog.ClickHeader(2);
    EXPECT_EQ(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "^ID");
    dialog.ClickHeader(0);
    dialog.SelectInputs({0, 1, 2, 3, 4});
    dialog.resize(560, 400);
    dialog.show();
    gui::testing::SaveScreenshot(&dialog, QStringLiteral("qplot_select_inputs"));
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(frame.doc().Channel(252).input, 252);
  EXPECT_EQ(frame.doc().Channel(253).input, 0);
  EXPECT_EQ(frame.doc().Channel(254).input, 1);
  EXPECT_EQ(frame.doc().Channel(255).input, 2);
  frame.doc().SetModified(false);
}

// Prints 256 channels to a PDF: pages = ceil(256 / rows per page) on A4 and Letter.
TEST(PlotPrinting, PageCountOnA4AndLetter) {
  Folder f;
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.Add(100000, 3, 1);
  WriteFile(f.dir / "a.bin", e.bytes());
  WriteFile(f.dir / "s.bin", SetupDatabase(model::kKrv517xl).SaveBytes());
  platform::RecordingPrompter prompter;
  platform::RecordingLauncher launcher;
  StartOptions o;
  o.eventPath = (f.dir / "a.bin").string();
  o.setupPath = (f.dir / "s.bin").string();
  CMainFrame frame(o, prompter, launcher);
  ASSERT_EQ(frame.doc().ChannelsToPrint(), 256);
  for (auto size : {QPageSize::A4, QPageSize::Letter}) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = QString::fromStdString((f.dir / "p.pdf").string());
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(size));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int dpi = printer.logicalDpiX();
    const double factor = page.width() * 96.0 / (1004.0 * dpi);
    const int rows = page.height() * 96 / static_cast<int>(factor * printer.logicalDpiY()) / 15 - 3;
    const int expected = (256 + rows - 1) / rows;
    EXPECT_EQ(frame.PrintTo(printer), expected);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))), expected);
  }
}

TEST(PlotExport, CommandLineExportWritesTheWholePlotAndFailsClearly) {
  Folder f;
  EventBytes e(EventFileType::k517XL, kDate, 0, kDate, 8639999);
  e.Add(4320000, 0, 1);
  WriteFile(f.dir / "a.bin", e.bytes());
  WriteFile(f.dir / "s.bin", SetupDatabase(model::kKrv517xl).SaveBytes());
  const QString program = QStringLiteral(ZEL_BIN_DIR "/ZelQplot");
  auto run = [&](const QStringList& args, QString* err) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000)) return -2;
    *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitCode();
  };
  const QString png = QString::fromStdString((f.dir / "plot.png").string());
  QString err;
  ASSERT_EQ(run({QStringLiteral("/event=") + QString::fromStdString((f.dir / "a.bin").string()),
                 QStringLiteral("/setup=") + QString::fromStdString((f.dir / "s.bin").string()),
                 QStringLiteral("/export=") + png},
                &err),
            0)
      << err.toStdString();
  QImage img(png);
  EXPECT_EQ(img.width(), 1004);
  EXPECT_EQ(img.height(), 4035);
  EXPECT_EQ(Px(img, 1003, 4034), qRgb(255, 255, 255));
  // Channel 0 goes high at noon: x of half a day at zoom all (scale 16384).
  const int x = 128 + 4320000 / 16384;
  EXPECT_EQ(Px(img, x, RowTop(0) + 7), qRgb(0, 0, 0));
  for (const char* ext : {"svg", "pdf"}) {
    const QString out = QString::fromStdString((f.dir / "plot.").string()) + ext;
    EXPECT_EQ(run({QStringLiteral("/event=") + QString::fromStdString((f.dir / "a.bin").string()),
                   QStringLiteral("/setup=") + QString::fromStdString((f.dir / "s.bin").string()),
                   QStringLiteral("/export=") + out},
                  &err),
              0);
    EXPECT_GT(QFileInfo(out).size(), 1000);
  }
  EXPECT_EQ(run({QStringLiteral("/event=/nonexistent/a.bin"), QStringLiteral("/setup=x"),
                 QStringLiteral("/export=") + png},
                &err),
            1);
  EXPECT_TRUE(err.contains(QStringLiteral("Event file not found"))) << err.toStdString();
  EXPECT_EQ(
      run({QStringLiteral("/event=") + QString::fromStdString((f.dir / "a.bin").string()),
           QStringLiteral("/setup=") + QString::fromStdString((f.dir / "s.bin").string()),
           QStringLiteral("/export=") + QString::fromStdString((f.dir / "plot.gif").string())},
          &err),
      1);
  EXPECT_TRUE(err.contains(QStringLiteral("no known image type"))) << err.toStdString();
}

}  // namespace
}  // namespace zel::qplot
