#include "qplot_view.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "plot_renderer.h"

namespace zel::qplot {

CZelQplotView::CZelQplotView(EventData& data, CZelQplotDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), data_(data), doc_(doc) {
  setAccessibleName(QStringLiteral("Timing diagram"));
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(true);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setSingleStep(kRowHeight);
  horizontalScrollBar()->setSingleStep(kRowHeight);
  view_.SetInterval(data_.IntervalStart(), data_.IntervalEnd());
  view_.ZoomAll();
  UpdateScrollBars();
}

void CZelQplotView::Redraw() {
  viewport()->update();
  emit StatusChanged();
}

void CZelQplotView::UpdateScrollBars() {
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setRange(0, std::max(0, ScrollHeight() - viewport()->height()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, std::max(0, kScrollWidth - viewport()->width()));
}

void CZelQplotView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CZelQplotView::scrollContentsBy(int, int) { viewport()->update(); }

QPoint CZelQplotView::Logical(QPoint p) const {
  return p + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CZelQplotView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), Qt::white);
  const int top = verticalScrollBar()->value();
  painter.translate(-horizontalScrollBar()->value(), -top);
  RenderOptions options;
  options.clipTop = top;
  options.clipBottom = top + viewport()->height();
  DrawPlot(painter, data_, doc_, view_, options);
}

void CZelQplotView::ZoomIn(int k) {
  view_.ZoomIn(k);
  Redraw();
}
void CZelQplotView::ZoomOut(int k) {
  view_.ZoomOut(k);
  Redraw();
}
void CZelQplotView::ZoomInAtClick(int k) {
  view_.ZoomInAt(k, rightClick_.x());
  Redraw();
}
void CZelQplotView::ZoomOutAtClick(int k) {
  view_.ZoomOutAt(k, rightClick_.x());
  Redraw();
}
void CZelQplotView::ZoomAll() {
  view_.ZoomAll();
  Redraw();
}
void CZelQplotView::Pan(int units) {
  view_.Pan(units);
  Redraw();
}
void CZelQplotView::ShowStart() {
  view_.SetLeftAndScale(view_.IntervalStart(), view_.Scale());
  Redraw();
}
void CZelQplotView::ShowEnd() {
  view_.SetLeftAndScale(view_.IntervalEnd() - static_cast<double>(view_.Scale()) * kPlotWidthUnits,
                        view_.Scale());
  view_.Pan(0);
  Redraw();
}

void CZelQplotView::SetCursorAtClick(int i) {
  const bool set = view_.SetCursorAt(
      i, rightClick_.x(), rightClick_.y(), [&](int channel, double t) -> std::optional<double> {
        const auto r = data_.NearestEvent(doc_.Channel(channel).input, t);
        if (!r) return std::nullopt;
        return static_cast<double>(data_.RecordTime(*r));
      });
  if (set) Redraw();
}

void CZelQplotView::ClearCursor(int i) {
  view_.ClearCursor(i);
  Redraw();
}

std::optional<int64_t> CZelQplotView::EventAtClick() const {
  const int channel = ClickedChannel();
  if (channel < 0) return std::nullopt;
  const auto r = data_.NearestEvent(doc_.Channel(channel).input, view_.TimeOfX(rightClick_.x()));
  if (!r) return std::nullopt;
  if (std::abs(view_.XOfTime(static_cast<double>(data_.RecordTime(*r))) - rightClick_.x()) >
      kCursorSnapUnits)
    return std::nullopt;
  return r;
}

void CZelQplotView::NextEdge(bool forward) {
  const Cursor& c = view_.GetCursor(0);
  if (!c.IsSet()) return;
  const auto t = data_.ChangeNear(doc_, doc_.Channel(c.channel).input, c.time, forward);
  if (!t) return;
  view_.SetCursorTime(0, *t, c.channel);
  view_.ShowTime(*t);
  Redraw();
}

void CZelQplotView::RemoveChannelAtClick() {
  const int c = ClickedChannel();
  if (c >= 0) doc_.SetChannelInput(c, kNoInput);
}

void CZelQplotView::MoveChannel(int from, int to) {
  if (from == to) return;
  view_.FollowChannelMove(from, to);
  doc_.MoveChannel(from, to);
}

void CZelQplotView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = Logical(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    press_ = p;
    dragging_ = true;
  } else if (event->button() == Qt::RightButton) {
    rightClick_ = p;
    if (p.x() < kPlotLeft) {
      if (ChannelOfY(p.y()) >= 0 && labelMenu_) labelMenu_->exec(event->globalPosition().toPoint());
    } else if (plotMenu_) {
      plotMenu_->exec(event->globalPosition().toPoint());
    }
  }
}

void CZelQplotView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  const QPoint p = Logical(event->position().toPoint());
  if (press_.x() < kPlotLeft) {
    const int from = ChannelOfY(press_.y());
    const int to = DropChannelOfY(p.y());
    if (from >= 0 && from != to) MoveChannel(from, to);
  } else if (p.x() != press_.x()) {
    Pan(press_.x() - p.x());
  }
}

void CZelQplotView::mouseMoveEvent(QMouseEvent* event) {
  mouse_ = Logical(event->position().toPoint());
  emit StatusChanged();
}

void CZelQplotView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  const QPoint p = Logical(event->position().toPoint());
  if (event->modifiers() & Qt::ControlModifier) {
    // Zoom around the mouse with the plot-area menu's arithmetic.
    const int x = ClampToPlot(p.x());
    if (steps > 0)
      view_.ZoomInAt(2 * steps, x);
    else
      view_.ZoomOutAt(-2 * steps, x);
    Redraw();
  } else if (event->modifiers() & Qt::ShiftModifier) {
    Pan(-steps * kPanStepUnits);
  } else {
    verticalScrollBar()->setValue(verticalScrollBar()->value() - steps * 3 * kRowHeight);
  }
  event->accept();
}

void CZelQplotView::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Left:
      ctrl ? NextEdge(false) : Pan(-kPanStepUnits);
      return;
    case Qt::Key_Right:
      ctrl ? NextEdge(true) : Pan(kPanStepUnits);
      return;
    case Qt::Key_Up:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      return;
    case Qt::Key_Down:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      return;
    case Qt::Key_PageUp:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
      return;
    case Qt::Key_PageDown:
      verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      return;
    case Qt::Key_Home:
      ShowStart();
      return;
    case Qt::Key_End:
      ShowEnd();
      return;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

}  // namespace zel::qplot
