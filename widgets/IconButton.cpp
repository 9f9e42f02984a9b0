#include "widgets/IconButton.h"

#include <QEvent>
#include <QPainter>

#include "widgets/ButtonCaption.h"

namespace vexlo {

IconButton::IconButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
}

void IconButton::SetButtonIcon(const QIcon& icon, const QSize& size) {
    buttonIcon = icon;
    buttonIconSize = size.isValid() ? size : icon.actualSize(QSize(32, 32));
    updateGeometry();
    update();
}

QRect IconButton::IconRect(const QRect& item, const QSize& icon, bool hasCaption, bool pressed) {
    QRect placed;
    if (hasCaption) {
        placed = QRect(item.left() + kImageMargin.x(), item.top() + (item.height() - icon.height()) / 2, icon.width(),
                       icon.height());
    } else {
        placed = QRect(item.left() + (item.width() - icon.width()) / 2,
                       item.top() + (item.height() - icon.height()) / 2, icon.width(), icon.height());
    }
    if (pressed) placed.translate(kPressedOffset);
    return placed;
}

QSize IconButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize caption = metrics.size(Qt::TextShowMnemonic, text());
    const int iconWidth = buttonIcon.isNull() ? 0 : buttonIconSize.width() + kImageMargin.x();
    return {kImageMargin.x() + iconWidth + caption.width() + 12, qMax(caption.height(), buttonIconSize.height()) + 8};
}

void IconButton::enterEvent(QEnterEvent* event) {
    if (isEnabled() && !mouseOnButton) {
        mouseOnButton = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent* event) {
    EndHover();
    QPushButton::leaveEvent(event);
}

void IconButton::focusOutEvent(QFocusEvent* event) {
    EndHover();
    QPushButton::focusOutEvent(event);
}

void IconButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ActivationChange) EndHover();
    QPushButton::changeEvent(event);
}

void IconButton::EndHover() {
    if (!mouseOnButton) return;
    mouseOnButton = false;
    update();
}

void IconButton::PaintFace(QPainter& painter, bool) { painter.fillRect(rect(), palette().color(QPalette::Button)); }

void IconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = isDown() || (isCheckable() && isChecked());
    const bool disabled = !isEnabled();
    const QPalette& colours = palette();
    const QRect item = rect();
    PaintFace(painter, pressed);

    // Border: sunken while pressed, raised while hovering, none at rest.
    if (pressed || mouseOnButton) {
        const QColor topLeft = colours.color(pressed ? QPalette::Dark : QPalette::Light);
        const QColor bottomRight = colours.color(pressed ? QPalette::Light : QPalette::Dark);
        painter.setPen(topLeft);
        painter.drawLine(item.topLeft(), item.topRight());
        painter.drawLine(item.topLeft(), item.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(item.bottomLeft(), item.bottomRight());
        painter.drawLine(item.topRight(), item.bottomRight());
    }

    QRect caption = item;
    const bool hasCaption = !text().isEmpty();
    if (!buttonIcon.isNull()) {
        const QRect iconArea = IconRect(item, buttonIconSize, hasCaption, pressed);
        buttonIcon.paint(&painter, iconArea, Qt::AlignCenter, disabled ? QIcon::Disabled : QIcon::Normal);
        if (hasCaption) caption.setLeft(item.left() + buttonIconSize.width() + kImageMargin.x());
    }
    if (!hasCaption) return;
    if (pressed) caption.translate(kPressedOffset);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    DrawButtonCaption(painter, caption, flags, text(), colours, disabled);
}

}  // namespace vexlo
