#include "rtp_window.h"

#include <QAction>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <thread>

#include "gui/image_export.h"
#include "gui/input_selection_dialog.h"
#include "gui/message_prompter.h"
#include "gui/timing_painter.h"
#include "model/capture_csv.h"
#include "rtp_painter.h"

namespace zel::rtp {
namespace {

constexpr int kZoomFactors[] = {2, 4, 8, 16};
const char kCaption[] = "ZELRtp";

std::string LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

}  // namespace

// The start-up runs here; the window reads `phase` and, once `done`, takes the line over.
struct RtpWindow::Worker {
  explicit Worker(const comm::Timings& t) : connection(t) {}
  comm::Connection connection;
  std::thread thread;
  std::atomic<RtpPhase> phase{RtpPhase::kIdle};
  std::atomic<bool> done{false};
  int connectCode = 0;  // written before `done`
};

// ---------------------------------------------------------------------------------------------
RtpView::RtpView(RtpWindow& window) : QWidget(&window), window_(window) {
  setAccessibleName(QStringLiteral("Real-time plot"));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

void RtpView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawRealTimePlot(painter, window_.plot(), window_.texts(), width(), height());
}

QMenu* RtpView::ContextMenuAt(QPoint pos) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const int row = RealTimePlot::RowOfY(pos.y());
  if (pos.x() >= width() - kLabelMenuWidth) {
    menu->addAction(QStringLiteral("Select Inputs..."), this,
                    [this, row] { window_.SelectInputs(row); });
    menu->addAction(QStringLiteral("Color..."), this, [this, row] { window_.ChooseColor(row); });
  } else {
    for (bool in : {true, false}) {
      QMenu* sub = menu->addMenu(in ? QStringLiteral("Zoom In") : QStringLiteral("Zoom Out"));
      for (int f : kZoomFactors)
        sub->addAction(QStringLiteral("%1x").arg(f), this, [this, in, f] { window_.Zoom(in, f); });
    }
  }
  return menu;
}

void RtpView::contextMenuEvent(QContextMenuEvent* event) {
  ContextMenuAt(event->pos())->popup(event->globalPos());
}

// ---------------------------------------------------------------------------------------------
RtpWindow::RtpWindow(const gui::CommandOptions& options, RtpWindowOptions window_options)
    : options_(std::move(window_options)), line_(ParseRtpCommandLine(options)) {
  setWindowTitle(QString::fromLatin1(kCaption));
  std::shared_ptr<SetupDatabase> setup;
  bool setup_missing = false;
  if (line_.model && !line_.setupPath.empty()) {
    setup = std::make_shared<SetupDatabase>(SetupTypeOf(line_.model->type));
    if (!setup->LoadFile(line_.setupPath)) {
      setup.reset();
      setup_missing = true;
    }
  }
  texts_ = std::make_unique<InputTexts>(line_.model, setup);
  plot_ = std::make_unique<RealTimePlot>(line_.model, texts_->FlashEnabled());

  view_ = new RtpView(*this);
  setCentralWidget(view_);
  status_ = new QLabel(this);
  status_->setAccessibleName(QStringLiteral("Status"));
  statusBar()->addWidget(status_, 1);
  BuildMenus();
  resize(900, 600);

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &RtpWindow::OnTimer);

  if (!line_.CanConnect()) {
    std::string text;
    for (const std::string& p : line_.problems) text += (text.empty() ? "" : "\n") + p;
    SetStatus(QString::fromStdString(line_.problems.front()));
    // Said after the window is up, so it has a parent to stand over.
    QTimer::singleShot(0, this, [this, text] { Message(text); });
    return;
  }
  if (setup_missing)
    QTimer::singleShot(0, this, [this] {
      Message("Cannot open setup file");
      Start();
    });
  else
    Start();
}

RtpWindow::~RtpWindow() {
  timer_->stop();
  if (!worker_) return;
  worker_->connection.abort_flag().store(1);
  if (worker_->done.load()) {
    if (worker_->thread.joinable()) worker_->thread.join();
    if (streaming_) worker_->connection.CloseConnection(line_.selector);
  } else if (worker_->thread.joinable()) {
    // A TCP connect may still block; the worker ends on its own and frees what it holds.
    worker_->thread.detach();
  }
}

void RtpWindow::Message(const std::string& text) {
  if (options_.prompter) {
    options_.prompter->Show(kCaption, text);
    return;
  }
  gui::MessagePrompter prompter(this);
  prompter.Show(kCaption, text);
}

void RtpWindow::SetStatus(const QString& text) { status_->setText(text); }
QString RtpWindow::StatusText() const { return status_->text(); }
RtpPhase RtpWindow::phase() const { return worker_ ? worker_->phase.load() : RtpPhase::kIdle; }

void RtpWindow::Start() {
  worker_ = std::make_shared<Worker>(options_.timings);
  if (options_.ports) worker_->connection.SetPortMap(*options_.ports);
  worker_->phase = RtpPhase::kConnecting;
  SetStatus(QString::fromStdString(PhaseText(RtpPhase::kConnecting)));
  const std::string password = texts_->Password();
  worker_->thread = std::thread([w = worker_, line = line_, password, waits = options_.waits] {
    int code = 0;
    ConnectAndStartStream(w->connection, line, password, waits, &w->phase, &code);
    w->connectCode = code;
    w->done.store(true);
  });
  timer_->start(options_.timerMs);
}

void RtpWindow::OnTimer() {
  if (!worker_) return;
  if (!streaming_) {
    const bool done = worker_->done.load();
    const RtpPhase p = worker_->phase.load();
    SetStatus(QString::fromStdString(PhaseText(p, done ? worker_->connectCode : 0)));
    if (!done) return;
    if (worker_->thread.joinable()) worker_->thread.join();
    if (p != RtpPhase::kStreaming) {
      timer_->stop();
      return;
    }
    streaming_ = true;
    setWindowTitle(QStringLiteral("ZELRtp - %1").arg(QString::fromStdString(texts_->UnitName())));
  }
  ReadStream();
  if (plot_->Tick()) view_->update();
}

void RtpWindow::ReadStream() {
  if (lineLost_) return;
  comm::Connection& c = worker_->connection;
  for (int n = 0; n < kMaxBytesPerTick; ++n) {
    const int v = c.ReadByte(line_.selector);
    if (v & 0x80) break;  // nothing waiting (negative), or a byte of 0x80 or more, dropped
    plot_->FeedByte(static_cast<uint8_t>(v));
  }
  if (c.LineGone()) {
    lineLost_ = true;
    const std::string at = options_.timeOfDay ? options_.timeOfDay() : LocalTimeOfDay();
    SetStatus(QString::fromStdString("Line lost at " + at));
    view_->update();
  }
}

void RtpWindow::Zoom(bool in, int factor) {
  if (in ? plot_->ZoomIn(factor) : plot_->ZoomOut(factor)) view_->update();
}

void RtpWindow::SelectInputs(int row) {
  gui::SortedInputList list = texts_->SelectInputsList();
  std::vector<int> chosen;
  if (options_.chooseInputs) {
    chosen = options_.chooseInputs(list);
  } else {
    gui::InputSelectionDialog dialog(QStringLiteral("Select Inputs"),
                                     QStringLiteral("Select the inputs to plot from this row on."),
                                     list, this);
    if (dialog.exec() != QDialog::Accepted) return;
    chosen = dialog.SelectedInputs();
  }
  if (plot_->FillSlots(row, chosen) > 0) view_->update();
}

void RtpWindow::ChooseColor(int row) {
  const int k = std::clamp(row, 0, kSlotCount - 1);
  const uint32_t old = plot_->Slot(k).color;
  std::optional<uint32_t> chosen;
  if (options_.chooseColor) {
    chosen = options_.chooseColor(old);
  } else {
    const QColor c = QColorDialog::getColor(gui::ColorOfColorRef(old), this);
    if (c.isValid()) chosen = gui::ColorRefOf(c);
  }
  if (!chosen) return;
  plot_->SetSlotColor(k, *chosen);
  view_->update();
}

bool RtpWindow::SaveCapture(const std::string& path, std::string* error) {
  // Written beside the target and renamed over it, so a failed save leaves no half file.
  QSaveFile file(QString::fromStdString(path));
  const std::string csv = CaptureCsv(*plot_, *texts_);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
      !file.commit()) {
    if (error)
      *error = "The capture could not be written to \"" + path + "\" (" +
               file.errorString().toStdString() +
               "); check that the folder exists and is "
               "writable.";
    return false;
  }
  return true;
}

bool RtpWindow::ExportImage(const std::string& path, std::string* error) {
  const QSize size = view_->size();
  return gui::ExportDrawing(
      path, size, QStringLiteral("ZEL Real Time Plot"),
      [&](QPainter& p) { DrawRealTimePlot(p, *plot_, *texts_, size.width(), size.height()); },
      error);
}

std::string RtpWindow::PrintFooter(int month, int day, int year, int hour, int minute, int second,
                                   const std::string& unit) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d Recorder: ", month, day, year,
                hour, minute, second);
  return text + unit;
}

void RtpWindow::PrintTo(QPrinter& printer) {
  printer.setDocName(QStringLiteral("ZEL Real Time Plot"));
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect page = painter.viewport();
  const double scale = page.width() / 1024.0;
  const int height = static_cast<int>(page.height() / scale);
  painter.scale(scale, scale);
  DrawRealTimePlot(painter, *plot_, *texts_, 1024, height - kRowHeight);
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  gui::TimingPainter tp(painter);
  tp.DrawText(0, height - kRowHeight,
              QString::fromStdString(PrintFooter(d.month(), d.day(), d.year(), t.hour(), t.minute(),
                                                 t.second(), texts_->UnitName())),
              gui::PlotFont(QStringLiteral("Courier New"), 12), Qt::black);
  painter.end();
}

void RtpWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Print..."), this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
  });
  file->addAction(QStringLiteral("Save &Capture..."), this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Capture"), {},
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) return;
    std::string error;
    if (!SaveCapture(path.toStdString(), &error)) Message(error);
  });
  file->addAction(QStringLiteral("Export &Image..."), this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Image"), {},
                                                      QStringLiteral("Images (*.png *.svg *.pdf)"));
    if (path.isEmpty()) return;
    std::string error;
    if (!ExportImage(path.toStdString(), &error)) Message(error);
  });
  file->addSeparator();
  file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  for (bool in : {true, false}) {
    QMenu* sub = view->addMenu(in ? QStringLiteral("Zoom In") : QStringLiteral("Zoom Out"));
    for (int f : kZoomFactors)
      sub->addAction(QStringLiteral("%1x").arg(f), this, [this, in, f] { Zoom(in, f); });
  }
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&About ZELRtp..."), this,
                  [this] { Message("ZELRtp, the real-time plotter of the ZEL suite."); });
}

}  // namespace zel::rtp
