#include "wrapping_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace vendrel::demo {

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();  // the style draws the bevel and focus, the caption is drawn below
  painter.drawControl(QStyle::CE_PushButton, option);

  QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(2, 2, -2, -2);
  if (isDown()) area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                               style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text());
}

}  // namespace vendrel::demo
