#include "live_status_window.h"

#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "input_properties_dialog.h"
#include "zel/core/recorder_rules.h"

namespace zel::oxm {

QColor LiveStateColour(LiveState s) {
  switch (s) {
    case LiveState::kOff:
      return QColor(128, 128, 0);  // olive
    case LiveState::kOn:
      return QColor(0, 160, 0);  // green
    case LiveState::kFlashing:
      return QColor(255, 220, 0);  // yellow
    case LiveState::kThreshold:
      return QColor(220, 0, 0);  // red
  }
  return QColor(128, 128, 0);
}

const std::array<QIcon, 4>& LiveStateIcons() {
  static const std::array<QIcon, 4> icons = [] {
    std::array<QIcon, 4> out;
    for (int i = 0; i < 4; ++i) {
      QPixmap pm(16, 16);
      pm.fill(Qt::transparent);
      QPainter p(&pm);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(QColor(40, 40, 40), 1));
      p.setBrush(LiveStateColour(static_cast<LiveState>(i + 1)));
      p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
      p.end();
      out[static_cast<std::size_t>(i)] = QIcon(pm);
    }
    return out;
  }();
  return icons;
}

namespace {

const char* StateWord(LiveState s) {
  switch (s) {
    case LiveState::kOff:
      return "off";
    case LiveState::kOn:
      return "on";
    case LiveState::kFlashing:
      return "on, flashing";
    case LiveState::kThreshold:
      return "on, threshold";
  }
  return "";
}

// Small-icon mode: the icon at the item's left, the text to its right, one row high.
class SmallIconDelegate : public QStyledItemDelegate {
 public:
  explicit SmallIconDelegate(QObject* parent) : QStyledItemDelegate(parent) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QRect r = option.rect;
    const int state = index.data(LiveItemModel::kStateRole).toInt();
    const QIcon& icon = LiveStateIcons()[static_cast<std::size_t>(std::clamp(state, 1, 4) - 1)];
    icon.paint(p, QRect(r.left(), r.top(), kLiveRowHeight, kLiveRowHeight));
    const QRect textRect(r.left() + kLiveRowHeight + 1, r.top(), r.width() - kLiveRowHeight - 1,
                         r.height());
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) p->fillRect(textRect, option.palette.highlight());
    p->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
  }
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const override {
    return QSize(index.data(LiveItemModel::kWidthRole).toInt(), kLiveRowHeight);
  }
};

// A list view whose items are placed by the window.
class PlacedListView : public QListView {
 public:
  using QListView::QListView;
  using QListView::setPositionForIndex;
};

}  // namespace

LiveItemModel::LiveItemModel(LiveStatusModel& live, QObject* parent)
    : QAbstractListModel(parent), live_(live) {}

int LiveItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(live_.items().size());
}

QVariant LiveItemModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const LiveStatusModel::Item& it = live_.items()[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(it.text);
    case Qt::DecorationRole:
      return LiveStateIcons()[static_cast<std::size_t>(it.state) - 1];
    case Qt::ToolTipRole:
      return QString::fromStdString(live_.ToolTip(index.row()));
    case Qt::AccessibleTextRole:
      return QString::fromStdString(it.text) + QStringLiteral(": ") +
             QString::fromLatin1(StateWord(it.state));
    case kStateRole:
      return static_cast<int>(it.state);
    case kWidthRole: {
      const int column = live_.layout() ? live_.layout()->columnWidth : 48;
      const bool analog =
          it.position >= live_.digital() && it.position < live_.digital() + live_.analog();
      return analog ? 2 * column : column;
    }
    default:
      return {};
  }
}

void LiveItemModel::Publish() {
  const std::vector<int> changed = live_.TakeChanged();
  if (changed.empty()) return;
  if (changed.size() == 1) {
    const QModelIndex i = index(changed.front());
    emit dataChanged(i, i);
    return;
  }
  const auto [lo, hi] = std::minmax_element(changed.begin(), changed.end());
  emit dataChanged(index(*lo), index(*hi));
}

LiveStatusWindow::LiveStatusWindow(std::unique_ptr<LiveStatusModel> live, const std::string& title,
                                   comm::Connection* connection, int selector, Services services,
                                   QWidget* parent)
    : QDialog(parent),
      live_(std::move(live)),
      conn_(connection),
      selector_(selector),
      s_(std::move(services)) {
  setWindowTitle(QString::fromStdString(title));
  auto* top = new QVBoxLayout(this);
  model_ = new LiveItemModel(*live_, this);
  auto* list = new PlacedListView(this);
  list_ = list;
  list_->setAccessibleName(QStringLiteral("Inputs"));
  list_->setViewMode(QListView::IconMode);
  list_->setMovement(QListView::Free);  // items stay where they are placed
  list_->setDragEnabled(false);
  list_->setAcceptDrops(false);
  list_->setDragDropMode(QAbstractItemView::NoDragDrop);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Small icons with a small font, as the rows are 16 pixels apart.
  QFont small = list_->font();
  small.setPixelSize(11);
  list_->setFont(small);
  list_->setIconSize(QSize(kLiveRowHeight, kLiveRowHeight));
  list_->setSpacing(0);
  list_->setItemDelegate(new SmallIconDelegate(list_));
  list_->setModel(model_);
  // Lay out now so the placements below are not undone by a delayed layout.
  list_->doItemsLayout();
  for (int i = 0; i < model_->rowCount(); ++i) {
    const auto& it = live_->items()[static_cast<std::size_t>(i)];
    list->setPositionForIndex(QPoint(it.x, it.y), model_->index(i));
  }
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, [this] { ShowProperties(); });
  top->addWidget(list_, 1);
  status_ = new QLabel(QString::fromStdString(LiveConnectedText()), this);
  status_->setAccessibleName(QStringLiteral("Line status"));
  status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  top->addWidget(status_);
  const int frame = 2 * list_->frameWidth() + 24;
  resize(std::min(std::max(live_->width() + frame, 320), 1200),
         std::min(std::max(live_->height() + frame, 120), 800) + status_->sizeHint().height() + 12);
  timer_ = new QTimer(this);
  timer_->setInterval(s_.tickMs);
  connect(timer_, &QTimer::timeout, this, &LiveStatusWindow::Tick);
  timer_->start();
}

LiveStatusWindow::~LiveStatusWindow() { timer_->stop(); }

void LiveStatusWindow::Tick() {
  ++ticks_;
  if (lost_ || conn_ == nullptr) return;
  pending_.clear();
  for (std::size_t n = 0; n < s_.maxBytesPerTick; ++n) {
    const int b = conn_->ReadByte(selector_);
    if (b < 0) break;
    pending_.push_back(static_cast<char>(b));
  }
  lines_ += live_->Feed(pending_);
  model_->Publish();
  if (conn_->LineGone()) {
    // The states stay as last reported; the line says they are no longer live.
    lost_ = true;
    timer_->stop();
    const platform::LocalTime now = s_.clock ? s_.clock->Now() : platform::LocalTime{};
    status_->setText(QString::fromStdString(LiveLineLostText(now)));
  }
}

void LiveStatusWindow::ShowProperties() {
  const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
  if (selected.size() != 1) return;
  if (!live_->setupLoaded()) {
    if (s_.prompter)
      s_.prompter->Show(core::kMessageTitle, kSetupNotAvailable, platform::PromptButtons::Ok);
    return;
  }
  InputPropertiesDialog dialog(live_->PropertyLines(selected.front().row()), this);
  s_.runDialog(dialog);
}

}  // namespace zel::oxm
