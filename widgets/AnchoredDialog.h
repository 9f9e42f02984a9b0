#pragma once

#include <QDialog>
#include <QPointer>
#include <vector>

class QSizeGrip;

namespace vexlo {

// A point of the client area in percent of its width and height.
struct Anchor {
    int x = -1;
    int y = -1;
    bool IsNone() const { return x < 0 || y < 0; }
    bool operator==(const Anchor&) const = default;
};
namespace anchors {
constexpr Anchor kTopLeft{0, 0};
constexpr Anchor kTopCentre{50, 0};
constexpr Anchor kTopRight{100, 0};
constexpr Anchor kMiddleLeft{0, 50};
constexpr Anchor kCentre{50, 50};
constexpr Anchor kMiddleRight{100, 50};
constexpr Anchor kBottomLeft{0, 100};
constexpr Anchor kBottomCentre{50, 100};
constexpr Anchor kBottomRight{100, 100};
constexpr Anchor kNone{-1, -1};
}  // namespace anchors

// A registered control: each corner keeps its distance from its anchor point.
struct LayoutEntry {
    QPointer<QWidget> window;
    Anchor topLeft;
    QPoint marginTopLeft;
    Anchor bottomRight;
    QPoint marginBottomRight;

    // The entry for a control's rectangle in a client area of the given size (the bottom-right
    // corner is one past the last pixel, as the platform gives rectangles).
    static LayoutEntry Make(QWidget* window, const QRect& control, const QSize& client, Anchor topLeft,
                            Anchor bottomRight = anchors::kNone);
    // Where the control goes in a client area of the given size.
    QRect Place(const QSize& client) const;
};

// A dialog that can be resized: a size grip in the lower-right corner, never smaller than it was
// when it opened, and registered controls moved and stretched by their anchors as it changes size.
class AnchoredDialog : public QDialog {
    Q_OBJECT
public:
    explicit AnchoredDialog(QWidget* parent = nullptr);

    void AnchorControl(QWidget* control, Anchor topLeft, Anchor bottomRight = anchors::kNone);
    void RepositionControls();
    const std::vector<LayoutEntry>& Entries() const { return entries; }
    const QSizeGrip* Grip() const { return grip; }

protected:
    // The end of the derived dialog's initialisation: the current size becomes the minimum and
    // arranging starts.
    void FinishInitialisation();
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PlaceGrip();

    std::vector<LayoutEntry> entries;
    QSizeGrip* grip;
    bool initialised = false;
};

}  // namespace vexlo
