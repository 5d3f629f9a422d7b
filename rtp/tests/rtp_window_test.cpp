// The real-time plotter's window offscreen: against the recorder simulator over TCP and a pty,
// a wrong password, the messages for a bad command line and a missing setup file, drawing into
// an image at the pixels the geometry gives, Save Capture, Export Image and the printed page.
#include "rtp_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "gui/testing/gui_testing.h"
#include "rtp_painter.h"
#include "zel/setup_database.h"
#include "zel/testing/sim_process.h"
#include "zel/testing/temp_folder.h"

namespace zel::rtp {
namespace {

namespace fs = std::filesystem;

std::string WriteSetup(const zeltest::TempFolder& dir, const std::string& password) {
  SetupDatabase db(model::kKrv517);
  db.RestoreFactoryDefaults();
  db.SetAdministrativePassword(password);
  db.SetUnitName("North Yard");
  const std::string path = (dir / "setupdata.bin").string();
  EXPECT_TRUE(db.SaveFile(path));
  return path;
}

RtpWindowOptions FastOptions(platform::Prompter* prompter) {
  RtpWindowOptions o;
  o.waits.quiet_ms = 200;  // the simulator's prompt is followed by silence at once
  o.timerMs = 20;
  o.prompter = prompter;
  o.timeOfDay = [] { return std::string("12:34:56"); };
  return o;
}

// Processes events until `done` holds or `limit_ms` passed; returns `done()`.
template <typename F>
bool WaitUntil(F done, int limit_ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limit_ms) QTest::qWait(10);
  return done();
}

bool Dark(const QImage& img, int x, int y) {
  return x >= 0 && y >= 0 && x < img.width() && y < img.height() && qGray(img.pixel(x, y)) < 100;
}

// Streams from the simulator until a few changes have come, shows their inputs and checks the
// picture: a vertical edge at the x of the first change in its row.
void ExpectTracesOfChanges(RtpWindow& w, const std::string& shot) {
  ASSERT_TRUE(WaitUntil([&] { return w.plot().changes().size() >= 4; }))
      << w.StatusText().toStdString();
  EXPECT_EQ(w.StatusText(), "Streaming");
  EXPECT_EQ(w.windowTitle(), "ZELRtp - North Yard");
  std::vector<int> inputs;
  for (const Change& c : w.plot().changes())
    if (std::find(inputs.begin(), inputs.end(), c.position) == inputs.end())
      inputs.push_back(c.position);
  w.plot().FillSlots(0, inputs);
  const Change first = w.plot().changes().front();
  w.plot().SetDisplayTime(*w.plot().currentTime());
  w.resize(900, 500);
  QImage img(w.view()->size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    DrawRealTimePlot(p, w.plot(), w.texts(), img.width(), img.height());
  }
  const int edge = RealTimePlot::PlotEdge(img.width());
  const int x = w.plot().XOfTime(first.time, edge);
  const int top = RealTimePlot::RowTop(0);  // the first change's input is in slot 0
  ASSERT_GE(x, 0);
  EXPECT_TRUE(Dark(img, x, top + 7)) << "x " << x;
  w.view()->update();
  zel::gui::testing::SaveScreenshot(&w, QString::fromStdString(shot));
}

TEST(RtpWindowSim, StreamsOverTcp) {
  zeltest::TempFolder dir("rtp");
  const std::string setup = WriteSetup(dir, "SECRET");
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      {"--model", "KRV-517", "--password", "SECRET", "--tcp", "0", "--scale", "0.1", "--seed", "7"},
      20000))
      << sim.error();
  platform::RecordingPrompter prompter;
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=" + setup, "/recorder=KRV517", "/port=-1",
                                                  "/baud=7",
                                                  "/ip=127.0.0.1:" + std::to_string(sim.Port())}),
              FastOptions(&prompter));
  w.show();
  ExpectTracesOfChanges(w, "rtp_window_tcp");
  EXPECT_TRUE(prompter.entries().empty());
}

TEST(RtpWindowSim, StreamsOverAPty) {
  zeltest::TempFolder dir("rtp");
  const std::string setup = WriteSetup(dir, "SECRET");
  const std::string pty = (dir / "ttyRtp").string();
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      {"--model", "KRV-517", "--password", "SECRET", "--pty", pty, "--scale", "0.1", "--seed", "3"},
      20000))
      << sim.error();
  platform::RecordingPrompter prompter;
  RtpWindowOptions o = FastOptions(&prompter);
  comm::PortMap ports;
  ports.Set(3, pty);
  o.ports = ports;
  RtpWindow w(gui::CommandOptions::FromArguments(
                  {"/setup=" + setup, "/recorder=KRV517", "/port=3", "/baud=9"}),
              o);
  w.show();
  ExpectTracesOfChanges(w, "rtp_window_pty");
}

// The simulator's modem on a pty: the "/init=" text answered "OK", the "/dial=" text dialled
// whole after "ATDT", then the login and "R" through the call.
class RtpModem : public ::testing::Test {
 protected:
  void SetUp() override {
    setup_ = WriteSetup(dir_, "SECRET");
    modem_ = (dir_ / "COM2").string();
    ASSERT_TRUE(sim_.StartFleet(dir_ / "fleet.conf",
                                "scale = 0.1\n[recorder R]\nmodel = KRV-517\npassword = SECRET\n"
                                "seed = 5\nphone = 555-0101\n[modem m]\npty = " +
                                    modem_ + "\nbusy = 555-0199\n",
                                20000))
        << sim_.error();
  }
  RtpWindowOptions Options() {
    RtpWindowOptions o = FastOptions(&prompter_);
    comm::PortMap ports;
    ports.Set(2, modem_);
    o.ports = ports;
    return o;
  }
  zeltest::TempFolder dir_{"rtp_modem"};
  std::string setup_, modem_;
  zeltest::SimProcess sim_;
  platform::RecordingPrompter prompter_;
};

TEST_F(RtpModem, DialledRecorderStreams) {
  // The dial text carries its own prefix; the modem matches the number at its end.
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=" + setup_, "/recorder=KRV517", "/port=2",
                                                  "/baud=7", "/init=AT&F E0", "/dial=9,555-0101"}),
              Options());
  w.show();
  ExpectTracesOfChanges(w, "rtp_window_modem");
  EXPECT_TRUE(prompter_.entries().empty());
}

TEST_F(RtpModem, ABusyLineIsSaidWithoutALogin) {
  // No "/init=": the bare "AT" wakes the modem.
  RtpWindow w(gui::CommandOptions::FromArguments(
                  {"/setup=" + setup_, "/recorder=KRV517", "/port=2", "/baud=7", "/dial=555-0199"}),
              Options());
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return w.phase() == RtpPhase::kConnectFailed; }))
      << w.StatusText().toStdString();
  EXPECT_TRUE(WaitUntil([&] { return w.StatusText() == "Connection failed: Line was busy"; }))
      << w.StatusText().toStdString();
  EXPECT_TRUE(w.plot().changes().empty());
  EXPECT_EQ(w.windowTitle(), "ZELRtp");
}

TEST(RtpWindowSim, AWrongPasswordLeavesLoginFailed) {
  zeltest::TempFolder dir("rtp");
  const std::string setup = WriteSetup(dir, "WRONG");
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      {"--model", "KRV-517", "--password", "SECRET", "--tcp", "0", "--scale", "0.1"}, 20000))
      << sim.error();
  platform::RecordingPrompter prompter;
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=" + setup, "/recorder=KRV517", "/port=-1",
                                                  "/baud=7",
                                                  "/ip=127.0.0.1:" + std::to_string(sim.Port())}),
              FastOptions(&prompter));
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return w.phase() == RtpPhase::kLoginFailed; }));
  EXPECT_TRUE(WaitUntil([&] { return w.StatusText() == "Login failed"; }));
  EXPECT_EQ(w.windowTitle(), "ZELRtp");
  EXPECT_TRUE(prompter.entries().empty());  // said in the status bar, no box
}

TEST(RtpWindowSim, TheLineLostIsSaidAndThePlotKept) {
  zeltest::TempFolder dir("rtp");
  const std::string setup = WriteSetup(dir, "SECRET");
  zeltest::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      {"--model", "KRV-517", "--password", "SECRET", "--tcp", "0", "--scale", "0.1"}, 20000))
      << sim.error();
  platform::RecordingPrompter prompter;
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=" + setup, "/recorder=KRV517", "/port=-1",
                                                  "/baud=7",
                                                  "/ip=127.0.0.1:" + std::to_string(sim.Port())}),
              FastOptions(&prompter));
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return !w.plot().changes().empty(); }));
  sim.Stop();
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText().startsWith("Line lost"); }));
  EXPECT_EQ(w.StatusText(), "Line lost at 12:34:56");
  EXPECT_FALSE(w.plot().changes().empty());
}

TEST(RtpWindowStart, BadCommandLineAndMissingSetupAreSaid) {
  platform::RecordingPrompter prompter;
  {
    RtpWindow w(gui::CommandOptions::FromArguments({"/recorder=KRV517"}), FastOptions(&prompter));
    ASSERT_TRUE(WaitUntil([&] { return !prompter.entries().empty(); }, 5000));
    EXPECT_EQ(prompter.entries()[0].caption, "ZELRtp");
    EXPECT_NE(prompter.entries()[0].text.find("no /setup= option"), std::string::npos);
    EXPECT_EQ(w.phase(), RtpPhase::kIdle);  // no connection attempted
    EXPECT_NE(w.StatusText().toStdString().find("/setup="), std::string::npos);
  }
  platform::RecordingPrompter second;
  {
    // A free port on the loopback: the connection fails and says so.
    RtpWindow w(
        gui::CommandOptions::FromArguments({"/setup=/nonexistent/setupdata.bin", "/recorder=KRV517",
                                            "/port=-1", "/baud=7", "/ip=127.0.0.1:1"}),
        FastOptions(&second));
    ASSERT_TRUE(WaitUntil([&] { return !second.entries().empty(); }, 5000));
    EXPECT_EQ(second.entries()[0].text, "Cannot open setup file");
    EXPECT_TRUE(WaitUntil([&] { return w.StatusText().startsWith("Connection failed"); }, 10000))
        << w.StatusText().toStdString();
  }
}

// A scripted stream drawn into an image: the edge at the pixel of the formula.
TEST(RtpDrawing, AnEdgeAtTheFormulasPixelAndTheMenus) {
  platform::RecordingPrompter prompter;
  RtpWindowOptions o = FastOptions(&prompter);
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=/nonexistent", "/recorder=KRV517",
                                                  "/port=-1", "/baud=7", "/ip=127.0.0.1:1"}),
              o);
  RealTimePlot& plot = w.plot();
  plot.SetSlotInput(0, 0);
  plot.SetSlotInput(1, 1);
  plot.SetSlotColor(1, 0x0000FF);  // red
  plot.FeedBytes("T360000\r1:0000\r1 1 361000\r2 1 362000\r1 0 363000\r");
  plot.SetDisplayTime(365000);
  QImage img(1024, 300, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    DrawRealTimePlot(p, plot, w.texts(), img.width(), img.height());
  }
  const int edge = 1024 - 128;
  // edge + (t - display) x 10 / zoom
  const int x_rise = edge + (361000 - 365000) * 10 / 1000;
  const int x_fall = edge + (363000 - 365000) * 10 / 1000;
  EXPECT_EQ(x_rise, 856);
  EXPECT_TRUE(Dark(img, x_rise, 15 + 7));       // the vertical edge
  EXPECT_FALSE(Dark(img, x_rise - 3, 15 + 2));  // low before it
  EXPECT_TRUE(Dark(img, x_rise - 3, 15 + 12));
  EXPECT_TRUE(Dark(img, x_rise + 3, 15 + 2));  // high after it
  EXPECT_TRUE(Dark(img, x_fall, 15 + 7));
  EXPECT_TRUE(Dark(img, edge - 2, 15 + 12));  // low again to the edge
  const QRgb red = img.pixel(edge + (362000 - 365000) * 10 / 1000, 30 + 7);
  EXPECT_GT(qRed(red), 200);
  EXPECT_LT(qGreen(red), 60);
  img.save(QStringLiteral(ZEL_SCREENSHOT_DIR "/rtp_drawing.png"));

  // Context menus by position.
  w.resize(800, 400);
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return w.view()->width() > 600; }, 5000));
  QMenu* label = w.view()->ContextMenuAt(QPoint(w.view()->width() - 100, 40));
  ASSERT_EQ(label->actions().size(), 2);
  EXPECT_EQ(label->actions()[0]->text(), "Select Inputs...");
  EXPECT_EQ(label->actions()[1]->text(), "Color...");
  QMenu* plot_menu = w.view()->ContextMenuAt(QPoint(10, 40));
  ASSERT_EQ(plot_menu->actions().size(), 2);
  EXPECT_EQ(plot_menu->actions()[0]->text(), "Zoom In");
  ASSERT_EQ(plot_menu->actions()[1]->menu()->actions().size(), 4);
  EXPECT_EQ(plot_menu->actions()[1]->menu()->actions()[3]->text(), "16x");
  plot_menu->actions()[0]->menu()->actions()[3]->trigger();  // Zoom In 16x
  EXPECT_EQ(plot.zoom(), 62);
  delete label;
  delete plot_menu;
}

TEST(RtpDrawing, SelectInputsColorCaptureExportAndPrint) {
  zeltest::TempFolder dir("rtp");
  platform::RecordingPrompter prompter;
  RtpWindowOptions o = FastOptions(&prompter);
  o.chooseInputs = [](gui::SortedInputList& list) { return list.InputsOfRows({0, 2, 4}); };
  o.chooseColor = [](uint32_t) { return std::optional<uint32_t>(0x00FF00); };
  RtpWindow w(gui::CommandOptions::FromArguments({"/setup=/nonexistent", "/recorder=KRV517",
                                                  "/port=-1", "/baud=7", "/ip=127.0.0.1:1"}),
              o);
  w.SelectInputs(48);
  EXPECT_EQ(w.plot().Slot(48).input, 0);
  EXPECT_EQ(w.plot().Slot(49).input, 2);  // stops after the last slot
  w.ChooseColor(49);
  EXPECT_EQ(w.plot().Slot(49).color, 0x00FF00u);

  w.plot().SetSlotInput(0, 0);
  w.plot().FeedBytes("T100\r1 1 200\r1 0 300\r");
  std::string error;
  const std::string csv = (dir / "capture.csv").string();
  ASSERT_TRUE(w.SaveCapture(csv, &error)) << error;
  std::ifstream in(csv);
  std::string all((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(all,
            "time,position,identifier,name,state\n00:00:02.00,1,D001,,1\n"
            "00:00:03.00,1,D001,,0\n");
  EXPECT_FALSE(w.SaveCapture("/nonexistent/folder/c.csv", &error));
  EXPECT_NE(error.find("could not be written"), std::string::npos);

  w.resize(700, 300);
  for (const char* ext : {"png", "svg", "pdf"}) {
    const std::string path = (dir / (std::string("plot.") + ext)).string();
    ASSERT_TRUE(w.ExportImage(path, &error)) << ext << ": " << error;
    EXPECT_GT(fs::file_size(path), 100u) << ext;
  }
  EXPECT_FALSE(w.ExportImage((dir / "plot.bmp").string(), &error));

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const std::string pdf = (dir / "print.pdf").string();
  printer.setOutputFileName(QString::fromStdString(pdf));
  w.PrintTo(printer);
  EXPECT_EQ(printer.docName(), "ZEL Real Time Plot");
  EXPECT_GT(fs::file_size(pdf), 100u);
  EXPECT_EQ(RtpWindow::PrintFooter(3, 7, 2026, 9, 5, 1, "North Yard"),
            "03/07/2026 09:05:01 Recorder: North Yard");
}

}  // namespace
}  // namespace zel::rtp
