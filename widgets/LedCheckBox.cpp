#include "widgets/LedCheckBox.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include "widgets/ButtonCaption.h"

namespace vexlo {

LedCheckBox::LedCheckBox(QWidget* parent) : QCheckBox(parent) { setAttribute(Qt::WA_Hover); }

QRect LedCheckBox::LightSquare(const QRect& item, bool textOnLeft, bool pressed) {
    const QRect inner = item.adjusted(3, 3, -3, -3);
    const int top = item.top() + (inner.height() - kLightDiameter) / 2 + 2;
    const int left = textOnLeft ? inner.right() + 1 - kLightDiameter : inner.left();
    QRect square(left, top, kLightDiameter, kLightDiameter);
    if (pressed) square.translate(1, 1);
    return square;
}

QColor LedCheckBox::LightColour(bool lit, bool disabled, const QColor& shadow) {
    if (disabled) return shadow;
    return lit ? kOnColour : kOffColour;
}

QSize LedCheckBox::sizeHint() const {
    const QFontMetrics metrics(font());
    return {kLightDiameter + 9 + metrics.horizontalAdvance(text()) + 6, qMax(kLightDiameter + 6, metrics.height() + 6)};
}

void LedCheckBox::enterEvent(QEnterEvent* event) {
    mouseOnControl = true;
    update();
    QCheckBox::enterEvent(event);
}

void LedCheckBox::leaveEvent(QEvent* event) {
    mouseOnControl = false;
    update();
    QCheckBox::leaveEvent(event);
}

void LedCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const bool pressed = isDown();
    const bool disabled = !isEnabled();
    const QRect item = rect();
    if (mouseOnControl && !disabled) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(colours.color(QPalette::Light));
        painter.drawRoundedRect(QRectF(item).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = item.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    const bool textOnLeft = layoutDirection() == Qt::RightToLeft;
    const QRect square = LightSquare(item, textOnLeft, pressed);
    const QColor fill = LightColour(isChecked(), disabled, colours.color(QPalette::Dark));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawEllipse(QRectF(square).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(QPen(kOffColour, 1));
    painter.drawEllipse(QRectF(square).adjusted(1.5, 1.5, -1.5, -1.5));
    painter.setRenderHint(QPainter::Antialiasing, false);

    if (text().isEmpty()) return;
    const QRect inner = item.adjusted(3, 3, -3, -3);
    QRect caption =
        textOnLeft ? QRect(inner.left(), inner.top(), square.left() - 3 - inner.left(), inner.height())
                   : QRect(square.right() + 1 + 3, inner.top(), inner.right() - square.right() - 3, inner.height());
    if (pressed) caption.translate(1, 1);
    const int flags =
        Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic | (textOnLeft ? Qt::AlignRight : Qt::AlignLeft);
    DrawButtonCaption(painter, caption, flags, text(), colours, disabled);
}

}  // namespace vexlo
