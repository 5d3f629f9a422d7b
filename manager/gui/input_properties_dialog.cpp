#include "input_properties_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextOption>
#include <QVBoxLayout>

#include "model/live_status.h"

namespace zel::oxm {
namespace {

// Draws a line's text with the dialog's tab stop, as a list box with tab stops does.
class TabStopDelegate : public QStyledItemDelegate {
 public:
  TabStopDelegate(int tab_stop, QObject* parent) : QStyledItemDelegate(parent), tab_(tab_stop) {}
  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const QString text = o.text;
    o.text.clear();
    o.widget->style()->drawControl(QStyle::CE_ItemViewItem, &o, p, o.widget);
    QTextOption to(Qt::AlignLeft | Qt::AlignVCenter);
    to.setTabStopDistance(tab_);
    to.setWrapMode(QTextOption::NoWrap);
    p->save();
    p->setPen(o.palette.color(o.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                               : QPalette::Text));
    p->drawText(QRectF(o.rect.adjusted(2, 0, -2, 0)), text, to);
    p->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics fm(option.font);
    const QString text = index.data().toString();
    const int at = static_cast<int>(text.indexOf(QLatin1Char('\t')));
    const int width = at < 0 ? fm.horizontalAdvance(text)
                             : std::max(tab_, fm.horizontalAdvance(text.left(at)) + 4) +
                                   fm.horizontalAdvance(text.mid(at + 1));
    s.setWidth(width + 8);
    return s;
  }

 private:
  int tab_;
};

}  // namespace

InputPropertiesDialog::InputPropertiesDialog(const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kPropertiesTitle));
  auto* top = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setAccessibleName(QString::fromLatin1(kPropertiesTitle));
  // A dialog unit is a quarter of the font's average character width.
  const QFontMetrics fm(list_->font());
  tabStop_ = kPropertiesTabStopDlu * fm.averageCharWidth() / 4;
  // The dialog font of Windows fits every label inside the tab stop; a wider font must not push a
  // value (such as the coding event name) past the next stop, so the stop grows to the widest
  // label and a gap.
  for (const std::string& l : lines) {
    const QString text = QString::fromStdString(l);
    const auto at = text.indexOf(QLatin1Char('\t'));
    if (at >= 0)
      tabStop_ = std::max(tabStop_, fm.horizontalAdvance(text.left(at)) + fm.averageCharWidth());
  }
  list_->setItemDelegate(new TabStopDelegate(tabStop_, list_));
  list_->setSortingEnabled(false);
  int widest = 0;
  for (const std::string& l : lines) {
    auto* item = new QListWidgetItem(QString::fromStdString(l), list_);
    // Screen readers read the label and the value apart by a blank, not a tab.
    item->setData(Qt::AccessibleTextRole, QString::fromStdString(l).replace('\t', ' '));
    widest = std::max(widest, list_->sizeHintForColumn(0));
  }
  list_->setMinimumWidth(std::max(260, widest + 24));
  list_->setMinimumHeight(
      std::max(100, list_->sizeHintForRow(0) * static_cast<int>(lines.size()) + 8));
  top->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  top->addWidget(buttons);
}

}  // namespace zel::oxm
