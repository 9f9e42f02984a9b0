#include "widgets/CarrierGroupBox.h"

#include <QEvent>
#include <QMoveEvent>

namespace vexlo {
namespace {

// The point-in-rectangle rule of the platform: left and top edges inside, right and bottom outside.
bool Inside(const QRect& box, const QPoint& point) {
    return point.x() >= box.left() && point.x() < box.left() + box.width() && point.y() >= box.top() &&
           point.y() < box.top() + box.height();
}

}  // namespace

CarrierGroupBox::CarrierGroupBox(QWidget* parent) : QGroupBox(parent) {}

bool CarrierGroupBox::Carries(const QRect& box, const QRect& control, bool includePartial) {
    // The bottom-right corner as the platform gives it: one past the last pixel.
    const QPoint bottomRight(control.left() + control.width(), control.top() + control.height());
    const bool topLeftInside = Inside(box, control.topLeft());
    const bool bottomRightInside = Inside(box, bottomRight);
    if (topLeftInside && bottomRightInside) return true;
    return includePartial && (topLeftInside || bottomRightInside);
}

std::vector<QWidget*> CarrierGroupBox::CarriedSiblings() const {
    std::vector<QWidget*> carried;
    QWidget* parent = parentWidget();
    if (parent == nullptr) return carried;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || widget == this || widget->isWindow()) continue;
        if (Carries(geometry(), widget->geometry(), includePartial)) carried.push_back(widget);
    }
    return carried;
}

void CarrierGroupBox::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() != QEvent::EnabledChange) return;
    for (QWidget* widget : CarriedSiblings()) widget->setEnabled(isEnabled());
}

void CarrierGroupBox::showEvent(QShowEvent* event) {
    QGroupBox::showEvent(event);
    for (QWidget* widget : CarriedSiblings()) widget->show();
}

void CarrierGroupBox::hideEvent(QHideEvent* event) {
    QGroupBox::hideEvent(event);
    for (QWidget* widget : CarriedSiblings()) widget->hide();
}

void CarrierGroupBox::moveEvent(QMoveEvent* event) {
    // The siblings that were inside the frame where it was move by the same distance.
    const QPoint distance = event->pos() - event->oldPos();
    if (!distance.isNull()) {
        const QRect before(event->oldPos(), size());
        QWidget* parent = parentWidget();
        if (parent != nullptr) {
            for (QObject* child : parent->children()) {
                auto* widget = qobject_cast<QWidget*>(child);
                if (widget == nullptr || widget == this || widget->isWindow()) continue;
                if (Carries(before, widget->geometry(), includePartial)) widget->move(widget->pos() + distance);
            }
        }
    }
    QGroupBox::moveEvent(event);
}

}  // namespace vexlo
