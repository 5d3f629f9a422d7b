// The plot view: the timing diagram in a scrolling area (one logical unit one screen pixel),
// mouse and keys, the right-click menus of the plot area and the label column.
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <functional>

#include "model/event_data.h"
#include "model/plot_document.h"
#include "model/plot_view.h"

class QMenu;

namespace zel::qplot {

class CZelQplotView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  CZelQplotView(EventData& data, CZelQplotDoc& doc, QWidget* parent = nullptr);

  PlotView& view() { return view_; }
  const PlotView& view() const { return view_; }
  // Logical position of the last right-button press and the last mouse move.
  QPoint lastRightClick() const { return rightClick_; }
  QPoint lastMouse() const { return mouse_; }
  void SetLastRightClick(QPoint p) { rightClick_ = p; }

  // Commands (also the menus'), all redraw.
  void ZoomIn(int k);
  void ZoomOut(int k);
  void ZoomInAtClick(int k);
  void ZoomOutAtClick(int k);
  void ZoomAll();
  void SetCursorAtClick(int i);
  void ClearCursor(int i);
  void Pan(int units);
  void ShowStart();
  void ShowEnd();
  // Moves cursor 1 to the next (or previous) event of its channel's input and pans it into view.
  void NextEdge(bool forward);
  void RemoveChannelAtClick();
  // Channel under the last right click, -1 when none.
  int ClickedChannel() const { return ChannelOfY(rightClick_.y()); }
  // The record of the clicked channel's input nearest the click when within 4 units.
  std::optional<int64_t> EventAtClick() const;
  void MoveChannel(int from, int to);
  void Redraw();

  // The context menus are built by the frame (it owns the actions).
  void SetMenus(QMenu* plot_menu, QMenu* label_menu) {
    plotMenu_ = plot_menu;
    labelMenu_ = label_menu;
  }

 signals:
  void StatusChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPoint Logical(QPoint widget_point) const;
  void UpdateScrollBars();

  EventData& data_;
  CZelQplotDoc& doc_;
  PlotView view_;
  QPoint mouse_{kPlotLeft, 0};
  QPoint rightClick_{kPlotLeft, 0};
  QPoint press_;
  bool dragging_ = false;
  QMenu* plotMenu_ = nullptr;
  QMenu* labelMenu_ = nullptr;
};

}  // namespace zel::qplot
