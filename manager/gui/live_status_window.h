// The live status window: one list in small-icon mode with an item per input at its grid
// point, coloured by the state the recorder last reported; a status line that says whether the
// line is still there; right-click for an input's properties. It reads the open connection on
// a 100 ms timer and never writes to it.
#pragma once

#include <QAbstractListModel>
#include <QDialog>
#include <QIcon>
#include <array>
#include <memory>

#include "gui/dialog_runner.h"
#include "model/live_status.h"
#include "zel/comm/connection.h"
#include "zel/platform/clock.h"
#include "zel/platform/prompter.h"

class QLabel;
class QListView;
class QTimer;

namespace zel::oxm {

// The four state icons, made once per program run: olive, green, yellow, red.
const std::array<QIcon, 4>& LiveStateIcons();
QColor LiveStateColour(LiveState s);

// The items of a LiveStatusModel for a list view.
class LiveItemModel : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int kStateRole = Qt::UserRole + 1;  // the state number 1-4
  // Width of the item: one column; analog inputs two, so their value text shows (the column
  // after the analog inputs is always empty).
  static constexpr int kWidthRole = Qt::UserRole + 2;
  LiveItemModel(LiveStatusModel& live, QObject* parent);
  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Tells the view which items changed since the last call.
  void Publish();

 private:
  LiveStatusModel& live_;
};

class LiveStatusWindow : public QDialog {
  Q_OBJECT
 public:
  struct Services {
    platform::Clock* clock = nullptr;
    platform::Prompter* prompter = nullptr;
    gui::DialogRunner runDialog = gui::ExecDialog;
    int tickMs = kLiveTickMs;
    // Longest run of bytes taken in one tick, so a line that never stops talking cannot hold
    // the window; the rest is read at the next tick.
    std::size_t maxBytesPerTick = 1 << 20;
  };

  LiveStatusWindow(std::unique_ptr<LiveStatusModel> live, const std::string& title,
                   comm::Connection* connection, int selector, Services services,
                   QWidget* parent = nullptr);
  ~LiveStatusWindow() override;

  // One timer tick: reads what waits on the line and shows the changes.
  void Tick();
  // The right-click on the list: the properties of the one selected item.
  void ShowProperties();

  LiveStatusModel& live() { return *live_; }
  QListView* list() const { return list_; }
  LiveItemModel* itemModel() const { return model_; }
  QLabel* statusLine() const { return status_; }
  bool lineLost() const { return lost_; }
  std::size_t ticks() const { return ticks_; }
  // Lines taken from the stream since the window opened.
  std::size_t linesRead() const { return lines_; }

 private:
  std::unique_ptr<LiveStatusModel> live_;
  comm::Connection* conn_;
  int selector_;
  Services s_;
  LiveItemModel* model_;
  QListView* list_;
  QLabel* status_;
  QTimer* timer_;
  std::string pending_;
  bool lost_ = false;
  std::size_t ticks_ = 0;
  std::size_t lines_ = 0;
};

}  // namespace zel::oxm
