#include "widgets/AnchoredDialog.h"

#include <QEvent>
#include <QResizeEvent>
#include <QSizeGrip>

namespace vexlo {
namespace {

QPoint AnchorPoint(Anchor anchor, const QSize& client) {
    return {client.width() * anchor.x / 100, client.height() * anchor.y / 100};
}

}  // namespace

LayoutEntry LayoutEntry::Make(QWidget* window, const QRect& control, const QSize& client, Anchor topLeft,
                              Anchor bottomRight) {
    if (bottomRight.IsNone()) bottomRight = topLeft;
    const QPoint corner(control.left() + control.width(), control.top() + control.height());
    return {window, topLeft, control.topLeft() - AnchorPoint(topLeft, client), bottomRight,
            corner - AnchorPoint(bottomRight, client)};
}

QRect LayoutEntry::Place(const QSize& client) const {
    const QPoint topLeftCorner = marginTopLeft + AnchorPoint(topLeft, client);
    const QPoint bottomRightCorner = marginBottomRight + AnchorPoint(bottomRight, client);
    return {topLeftCorner, QSize(bottomRightCorner.x() - topLeftCorner.x(), bottomRightCorner.y() - topLeftCorner.y())};
}

AnchoredDialog::AnchoredDialog(QWidget* parent) : QDialog(parent), grip(new QSizeGrip(this)) {
    setSizeGripEnabled(false);
    grip->hide();
}

void AnchoredDialog::AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight) {
    entries.push_back(
        LayoutEntry::Make(control, control != nullptr ? control->geometry() : QRect(), size(), topLeft, bottomRight));
}

void AnchoredDialog::RepositionControls() {
    const QSize client = size();
    for (const LayoutEntry& entry : entries) {
        if (entry.window == nullptr) continue;
        const QRect placed = entry.Place(client);
        if (placed != entry.window->geometry()) entry.window->setGeometry(placed);
    }
}

void AnchoredDialog::FinishInitialisation() {
    setMinimumSize(size());
    initialised = true;
    PlaceGrip();
    grip->show();
}

void AnchoredDialog::PlaceGrip() {
    const QSize gripSize = grip->sizeHint();
    grip->setGeometry(width() - gripSize.width(), height() - gripSize.height(), gripSize.width(), gripSize.height());
    grip->raise();
    grip->setEnabled(!isMaximized());
}

void AnchoredDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!initialised) return;
    PlaceGrip();
    RepositionControls();
}

void AnchoredDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (initialised && event->type() == QEvent::WindowStateChange) PlaceGrip();
}

}  // namespace vexlo
