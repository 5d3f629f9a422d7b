#include "main_frame.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

#include "gui/input_selection_dialog.h"
#include "gui/model/command_options.h"
#include "gui/model/sorted_input_list.h"
#include "gui/timing_painter.h"
#include "model/events_csv.h"
#include "model/time_text.h"
#include "plot_dialogs.h"
#include "plot_export.h"
#include "qplot_view.h"
#include "zel/day_number.h"

namespace zel::qplot {
namespace {

const char* const kCaption = "ZELQplot";
const QString kFilter = QStringLiteral("ZELQplot Files (*.zpl)");
constexpr int kRecentCount = 4;

}  // namespace

CMainFrame::CMainFrame(const StartOptions& options, platform::Prompter& prompter,
                       platform::Launcher& launcher, QWidget* parent)
    : QMainWindow(parent),
      prompter_(prompter),
      launcher_(launcher),
      programFolder_(options.programFolder) {
  setAcceptDrops(true);
  LoadData(options);
  doc_.SetInputCount(data_.InputCount());
  doc_.NewDocument();
  view_ = new CZelQplotView(data_, doc_, this);
  setCentralWidget(view_);
  // Zoom: the /zoom= range on the day the interval starts, else everything.
  if (!options.zoom.empty() && data_.Loaded()) {
    if (const auto r = gui::ParseDayTimeRange(options.zoom)) {
      const int64_t per_day = TicksPerDay(data_.TicksPerSecond());
      const double day = std::floor(data_.IntervalStart() / static_cast<double>(per_day)) *
                         static_cast<double>(per_day);
      view_->view().SetRange(day + static_cast<double>(r->StartSeconds() * data_.TicksPerSecond()),
                             day + static_cast<double>(r->EndSeconds() * data_.TicksPerSecond()));
    }
  }
  view_->view().ClearCursor(0);
  view_->view().ClearCursor(1);
  doc_.SetOnChange([this] {
    view_->Redraw();
    UpdateTitle();
  });
  BuildMenus();
  if (!options.templatePath.empty()) OpenTemplate(QString::fromStdString(options.templatePath));
  connect(view_, &CZelQplotView::StatusChanged, this, &CMainFrame::UpdateStatus);
  UpdateStatus();
  UpdateTitle();
  resize(1040, 700);
}

CMainFrame::~CMainFrame() { doc_.SetOnChange(nullptr); }

void CMainFrame::Message(const std::string& text) { prompter_.Show(kCaption, text); }

void CMainFrame::LoadData(const StartOptions& o) {
  const LoadResult r = data_.Load(o.eventPath, o.setupPath);
  if (r != LoadResult::kOk) Message(LoadMessage(r));
}

void CMainFrame::UpdateTitle() {
  const QString name = path_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path_).fileName();
  setWindowTitle(name + (doc_.IsModified() ? QStringLiteral("*") : QString()) +
                 QStringLiteral(" - ZELQplot"));
}

QAction* CMainFrame::Action(const QString& text) const {
  for (QAction* a : findChildren<QAction*>()) {
    QString t = a->text();
    t.remove(QLatin1Char('&'));
    if (t == text) return a;
  }
  return nullptr;
}

void CMainFrame::BuildMenus() {
  auto add = [this](QMenu* menu, const QString& text, const QString& tip, auto fn,
                    QKeySequence key = {}) {
    QAction* a = menu->addAction(text);
    a->setStatusTip(tip);
    if (!key.isEmpty()) a->setShortcut(key);
    connect(a, &QAction::triggered, this, fn);
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* new_action = add(
      file, QStringLiteral("&New"), QStringLiteral("Create a new plot template"),
      [this] {
        if (!SaveModified()) return;
        doc_.NewDocument();
        path_.clear();
        UpdateTitle();
      },
      QKeySequence::New);
  QAction* open_action = add(
      file, QStringLiteral("&Open..."), QStringLiteral("Open an existing plot template"),
      [this] {
        if (!SaveModified()) return;
        const QString p = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), {}, kFilter);
        if (!p.isEmpty()) OpenTemplate(p);
      },
      QKeySequence::Open);
  QAction* save_action = add(
      file, QStringLiteral("&Save"), QStringLiteral("Save the plot template"),
      [this] {
        QString p = path_;
        if (p.isEmpty())
          p = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), {}, kFilter);
        if (!p.isEmpty()) SaveTemplate(p);
      },
      QKeySequence::Save);
  add(file, QStringLiteral("Save &As..."), QStringLiteral("Save the plot template with a new name"),
      [this] {
        const QString p =
            QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), path_, kFilter);
        if (!p.isEmpty())
          SaveTemplate(p.endsWith(QLatin1String(".zpl"), Qt::CaseInsensitive) ? p : p + ".zpl");
      });
  file->addSeparator();
  add(file, QStringLiteral("Export &Image..."),
      QStringLiteral("Write the whole plot as a PNG, SVG or PDF file"), [this] {
        const QString p = QFileDialog::getSaveFileName(
            this, QStringLiteral("Export Image"), {},
            QStringLiteral("PNG image (*.png);;SVG image (*.svg);;PDF document (*.pdf)"));
        if (!p.isEmpty()) ExportImage(p);
      });
  add(file, QStringLiteral("Export &Events..."),
      QStringLiteral("Write the events of the shown time range as CSV"), [this] {
        const QString p = QFileDialog::getSaveFileName(this, QStringLiteral("Export Events"), {},
                                                       QStringLiteral("CSV files (*.csv)"));
        if (!p.isEmpty()) ExportEvents(p);
      });
  file->addSeparator();
  QAction* print_action = add(
      file, QStringLiteral("&Print..."), QStringLiteral("Print the plot"),
      [this] {
        if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPrintDialog dialog(printer_.get(), this);
        if (dialog.exec() == QDialog::Accepted) PrintTo(*printer_);
      },
      QKeySequence::Print);
  add(file, QStringLiteral("Print Pre&view"), QStringLiteral("Display full pages"), [this] {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintPreviewDialog preview(printer_.get(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { PrintTo(*p); });
    preview.exec();
  });
  add(file, QStringLiteral("P&rint Setup..."),
      QStringLiteral("Change the printer and printing options"), [this] {
        if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        QPageSetupDialog dialog(printer_.get(), this);
        dialog.exec();
      });
  file->addSeparator();
  for (int i = 0; i < kRecentCount; ++i) {
    QAction* a = file->addAction(QString());
    a->setVisible(false);
    a->setStatusTip(QStringLiteral("Open this plot template"));
    connect(a, &QAction::triggered, this, [this, a] {
      if (SaveModified()) OpenTemplate(a->data().toString());
    });
    recent_.push_back(a);
  }
  RefreshRecent();
  file->addSeparator();
  add(file, QStringLiteral("E&xit"), QStringLiteral("Quit the application"), [this] { close(); });

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  QAction* equations_action =
      add(edit, QStringLiteral("Edit &Equations"),
          QStringLiteral("Define the virtual equations plotted as extra inputs"),
          [this] { EditEquations(gui::ExecDialog); });
  add(edit, QStringLiteral("Capture Window"),
      QStringLiteral("Copy the window's image to the clipboard and save it as a picture"), [this] {
        CaptureAndOpen(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
      });

  QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
  QMenu* zoomIn = viewMenu->addMenu(QStringLiteral("Zoom &In"));
  QMenu* zoomOut = viewMenu->addMenu(QStringLiteral("Zoom &Out"));
  QAction* zoom_in2 = nullptr;
  QAction* zoom_out2 = nullptr;
  for (int k : {2, 4, 8, 16}) {
    QAction* in = add(zoomIn, QStringLiteral("%1x").arg(k), QStringLiteral("Zoom in by %1").arg(k),
                      [this, k] { view_->ZoomIn(k); });
    QAction* out = add(zoomOut, QStringLiteral("%1x").arg(k),
                       QStringLiteral("Zoom out by %1").arg(k), [this, k] { view_->ZoomOut(k); });
    if (k == 2) {
      zoom_in2 = in;
      zoom_out2 = out;
    }
  }
  QAction* zoom_all =
      add(viewMenu, QStringLiteral("Zoom &All"), QStringLiteral("Zoom so entire day is visible"),
          [this] { view_->ZoomAll(); });
  viewMenu->addSeparator();

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction* help_action = add(
      help, QStringLiteral("&Help"), QStringLiteral("Display help file"),
      [this] {
        launcher_.OpenWithDesktop(
            (std::filesystem::path(programFolder_) / "ZELQplot.html").string());
      },
      QKeySequence::HelpContents);
  add(help, QStringLiteral("&About ZELQplot..."),
      QStringLiteral("Display program information, version number and copyright"), [this] {
        QMessageBox::about(this, QStringLiteral("About ZELQplot"),
                           QStringLiteral("ZELQplot Version 1.16"));
      });

  // The toolbar: the commands used most, by their menu texts.
  QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
  bar->setObjectName(QStringLiteral("Toolbar"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto button = [bar](QAction* a, const QString& text) {
    QAction* b = bar->addAction(text);
    b->setStatusTip(a->statusTip());
    b->setToolTip(a->statusTip());
    connect(b, &QAction::triggered, a, &QAction::trigger);
  };
  button(new_action, QStringLiteral("New"));
  button(open_action, QStringLiteral("Open"));
  button(save_action, QStringLiteral("Save"));
  bar->addSeparator();
  button(print_action, QStringLiteral("Print"));
  bar->addSeparator();
  button(zoom_in2, QStringLiteral("Zoom In 2x"));
  button(zoom_out2, QStringLiteral("Zoom Out 2x"));
  button(zoom_all, QStringLiteral("Zoom All"));
  bar->addSeparator();
  button(equations_action, QStringLiteral("Equations"));
  button(help_action, QStringLiteral("Help"));
  QAction* show_bar = bar->toggleViewAction();
  show_bar->setText(QStringLiteral("&Toolbar"));
  show_bar->setStatusTip(QStringLiteral("Show or hide the toolbar"));
  viewMenu->addAction(show_bar);

  // Right-click menus: the plot area and the label column.
  auto* plotMenu = new QMenu(this);
  QMenu* pIn = plotMenu->addMenu(QStringLiteral("Zoom In"));
  QMenu* pOut = plotMenu->addMenu(QStringLiteral("Zoom Out"));
  for (int k : {2, 4, 8, 16}) {
    add(pIn, QStringLiteral("%1x").arg(k), QStringLiteral("Zoom in by %1 around this point").arg(k),
        [this, k] { view_->ZoomInAtClick(k); });
    add(pOut, QStringLiteral("%1x").arg(k),
        QStringLiteral("Zoom out by %1 around this point").arg(k),
        [this, k] { view_->ZoomOutAtClick(k); });
  }
  add(plotMenu, QStringLiteral("Zoom All"), QStringLiteral("Zoom so entire day is visible"),
      [this] { view_->ZoomAll(); });
  plotMenu->addSeparator();
  add(plotMenu, QStringLiteral("Cursor1 Set"), QStringLiteral("Set cursor 1 here"),
      [this] { view_->SetCursorAtClick(0); });
  add(plotMenu, QStringLiteral("Cursor1 Clear"), QStringLiteral("Clear cursor 1"),
      [this] { view_->ClearCursor(0); });
  add(plotMenu, QStringLiteral("Cursor2 Set"), QStringLiteral("Set cursor 2 here"),
      [this] { view_->SetCursorAtClick(1); });
  add(plotMenu, QStringLiteral("Cursor2 Clear"), QStringLiteral("Clear cursor 2"),
      [this] { view_->ClearCursor(1); });
  add(plotMenu, QStringLiteral("Next Edge"),
      QStringLiteral("Move cursor 1 to the next event of its channel"),
      [this] { view_->NextEdge(true); });
  add(plotMenu, QStringLiteral("Previous Edge"),
      QStringLiteral("Move cursor 1 to the previous event of its channel"),
      [this] { view_->NextEdge(false); });
  plotMenu->addSeparator();
  add(plotMenu, QStringLiteral("Details..."), QStringLiteral("View details for selected event"),
      [this] { ShowEventDetails(gui::ExecDialog); });
  auto* labelMenu = new QMenu(this);
  add(labelMenu, QStringLiteral("Select Input(s)..."),
      QStringLiteral("Select one or more inputs starting with this channel"),
      [this] { SelectInputs(view_->ClickedChannel(), gui::ExecDialog); });
  add(labelMenu, QStringLiteral("Remove"), QStringLiteral("Remove the input from this channel"),
      [this] { view_->RemoveChannelAtClick(); });
  add(labelMenu, QStringLiteral("Color..."), QStringLiteral("Set color for this channel"), [this] {
    const int c = view_->ClickedChannel();
    if (c < 0) return;
    const QColor chosen = QColorDialog::getColor(gui::ColorOfColorRef(doc_.Channel(c).color), this);
    if (chosen.isValid()) doc_.SetChannelColor(c, gui::ColorRefOf(chosen));
  });
  add(labelMenu, QStringLiteral("Details..."), QStringLiteral("View details for selected input"),
      [this] { ShowInputDetails(gui::ExecDialog); });
  view_->SetMenus(plotMenu, labelMenu);

  // Status bar panes.
  const QStringList initial = {
      QStringLiteral("00/00/00 00:00:00.000"), QStringLiteral("00/00/00 00:00:00.000"),
      QStringLiteral("00/00/00 00:00:00.000"), QStringLiteral("+00 00:00:00.000")};
  const QStringList names = {QStringLiteral("Mouse time"), QStringLiteral("Cursor 1"),
                             QStringLiteral("Cursor 2"), QStringLiteral("Cursor difference")};
  for (int i = 0; i < 4; ++i) {
    panes_[static_cast<size_t>(i)] = new QLabel(initial[i], this);
    panes_[static_cast<size_t>(i)]->setAccessibleName(names[i]);
    panes_[static_cast<size_t>(i)]->setFrameShape(QFrame::Panel);
    panes_[static_cast<size_t>(i)]->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(panes_[static_cast<size_t>(i)]);
  }
  statusBar()->showMessage(QStringLiteral("Ready"));
}

QString CMainFrame::PaneText(int pane) const {
  return panes_.at(static_cast<size_t>(pane))->text();
}
bool CMainFrame::PaneEnabled(int pane) const {
  return panes_.at(static_cast<size_t>(pane))->isEnabled();
}

void CMainFrame::UpdateStatus() {
  if (!data_.Loaded()) return;  // the panes keep their initial texts
  const TimeTexts texts(data_.TicksPerSecond());
  const PlotView& v = view_->view();
  panes_[0]->setText(
      QString::fromStdString(texts.DateTime(v.TimeOfX(ClampToPlot(view_->lastMouse().x())))));
  for (int i = 0; i < 2; ++i) {
    const Cursor& c = v.GetCursor(i);
    panes_[static_cast<size_t>(i) + 1]->setText(c.IsSet()
                                                    ? QString::fromStdString(texts.DateTime(c.time))
                                                    : QStringLiteral("No Cursor%1").arg(i + 1));
  }
  const bool both = v.GetCursor(0).IsSet() && v.GetCursor(1).IsSet();
  panes_[3]->setEnabled(both);
  if (both) {
    const double d = v.GetCursor(1).time - v.GetCursor(0).time;
    panes_[3]->setText(QString::fromStdString((d < 0 ? "-" : "+") + texts.Difference(d)));
  }
}

void CMainFrame::SelectInputs(int channel, const gui::DialogRunner& run) {
  if (channel < 0 || !data_.Loaded()) return;
  std::vector<gui::SortedInputList::Row> rows;
  for (int i = 0; i < data_.InputCount(); ++i) {
    if (!data_.Selectable(i)) continue;
    rows.push_back({i, {data_.Identifier(i), data_.Name(i), data_.IdOf(i)}});
  }
  gui::SortedInputList list({{"Input", 70, true}, {"Name", 300, false}, {"ID", 145, false}},
                            std::move(rows));
  gui::InputSelectionDialog dialog(QStringLiteral("Select Inputs"), QString(), list, this);
  if (run(dialog) != QDialog::Accepted) return;
  doc_.FillChannels(channel, dialog.SelectedInputs());
}

void CMainFrame::EditEquations(const gui::DialogRunner& run) {
  CEquationsDialog dialog(data_, doc_, run, this);
  run(dialog);
}

void CMainFrame::ShowEventDetails(const gui::DialogRunner& run) {
  const auto record = view_->EventAtClick();
  if (!record) return;
  const EventDetailLines lines = DescribeEvent(data_, *record);
  std::vector<std::string> analog(lines.analog.begin() + (lines.analog.empty() ? 0 : 1),
                                  lines.analog.end());
  CDetailsDialog dialog(QStringLiteral("Event Details"),
                        {{QStringLiteral("&Digital Event Details"), lines.digital, {}},
                         {QStringLiteral("&Analog Event Details"), analog,
                          lines.analog.empty() ? std::string() : lines.analog.front()}},
                        this);
  run(dialog);
}

void CMainFrame::ShowInputDetails(const gui::DialogRunner& run) {
  const int c = view_->ClickedChannel();
  if (c < 0) return;
  const int input = doc_.Channel(c).input;
  const std::vector<std::string> lines = DescribeInput(data_, doc_, input);
  if (lines.empty()) return;
  CDetailsDialog dialog(QStringLiteral("Input Details"), {{QString(), lines, {}}}, this);
  run(dialog);
}

bool CMainFrame::OpenTemplate(const QString& path) {
  std::string error;
  if (!doc_.Load(path.toStdString(), &error)) {
    Message(error);
    return false;
  }
  path_ = path;
  AddRecent(path);
  UpdateTitle();
  return true;
}

bool CMainFrame::SaveTemplate(const QString& path) {
  std::string error;
  if (!doc_.Save(path.toStdString(), &error)) {
    Message(error);
    return false;
  }
  doc_.SetModified(false);
  path_ = path;
  AddRecent(path);
  UpdateTitle();
  return true;
}

bool CMainFrame::SaveModified() {
  if (!doc_.IsModified()) return true;
  const QString name = path_.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path_).fileName();
  const auto a = prompter_.Show(kCaption, "Save changes to " + name.toStdString() + "?",
                                platform::PromptButtons::YesNoCancel);
  if (a == platform::PromptAnswer::Cancel) return false;
  if (a == platform::PromptAnswer::No) return true;
  QString p = path_;
  if (p.isEmpty()) p = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), {}, kFilter);
  return !p.isEmpty() && SaveTemplate(p);
}

void CMainFrame::AddRecent(const QString& path) {
  QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZELQplot"));
  QStringList list = settings.value(QStringLiteral("recent")).toStringList();
  const QString full = QFileInfo(path).absoluteFilePath();
  list.removeAll(full);
  list.prepend(full);
  while (list.size() > kRecentCount) list.removeLast();
  settings.setValue(QStringLiteral("recent"), list);
  RefreshRecent();
}

void CMainFrame::RefreshRecent() {
  QSettings settings(QStringLiteral("ZEL"), QStringLiteral("ZELQplot"));
  const QStringList list = settings.value(QStringLiteral("recent")).toStringList();
  for (int i = 0; i < kRecentCount; ++i) {
    QAction* a = recent_[static_cast<size_t>(i)];
    a->setVisible(i < list.size());
    if (i < list.size()) {
      a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(list[i]));
      a->setData(list[i]);
    }
  }
}

bool CMainFrame::ExportImage(const QString& path) {
  std::string error;
  if (!ExportPlot(path.toStdString(), data_, doc_, view_->view(), &error)) {
    Message(error);
    return false;
  }
  return true;
}

bool CMainFrame::ExportEvents(const QString& path) {
  QSaveFile file(path);
  const std::string csv = EventsCsv(data_, doc_, view_->view());
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
      !file.commit()) {
    Message("The events could not be written to \"" + path.toStdString() +
            "\"; check that the folder exists and is writable.");
    return false;
  }
  return true;
}

int CMainFrame::PrintTo(QPrinter& printer) {
  return PrintPlot(printer, data_, doc_, view_->view());
}

void CMainFrame::CaptureAndOpen(const QString& folder) {
  const QString file = CaptureWindow(folder);
  if (!file.isEmpty()) launcher_.OpenWithDesktop(file.toStdString());
}

QString CMainFrame::CaptureWindow(const QString& folder) {
  const QPixmap image = grab();
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setPixmap(image);
  const QString file =
      folder.isEmpty()
          ? QString()
          : QDir(folder).filePath(
                QStringLiteral("ZELQplot-%1.png")
                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
  if (folder.isEmpty() || !QDir().mkpath(folder) || !image.save(file, "PNG")) {
    Message("The window's picture could not be saved in \"" + folder.toStdString() +
            "\"; it is still on the clipboard.");
    return {};
  }
  return file;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.toLocalFile().endsWith(QLatin1String(".zpl"), Qt::CaseInsensitive)) {
      event->acceptProposedAction();
      return;
    }
  }
}

void CMainFrame::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls()) {
    const QString p = url.toLocalFile();
    if (p.endsWith(QLatin1String(".zpl"), Qt::CaseInsensitive)) {
      if (SaveModified()) OpenTemplate(p);
      event->acceptProposedAction();
      return;
    }
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (SaveModified())
    event->accept();
  else
    event->ignore();
}

}  // namespace zel::qplot
