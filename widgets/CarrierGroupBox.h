#pragma once

#include <QGroupBox>
#include <QPoint>
#include <vector>

namespace vexlo {

// A group box that carries the sibling controls drawn inside its frame: enabling, showing or moving
// the box does the same to them. (Its own children follow it anyway.)
class CarrierGroupBox final : public QGroupBox {
    Q_OBJECT
public:
    explicit CarrierGroupBox(QWidget* parent = nullptr);

    // A control is carried when both its top-left and its bottom-right corner lie inside the box,
    // right and bottom edges outside; with one corner inside only when partial ones count.
    static bool Carries(const QRect& box, const QRect& control, bool includePartial = false);
    // The carried siblings, in stacking order.
    std::vector<QWidget*> CarriedSiblings() const;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    bool includePartial = false;
};

}  // namespace vexlo
