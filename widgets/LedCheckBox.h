#pragma once

#include <QCheckBox>

namespace vexlo {

// A check box shown as a round light: bright green when set, dark green when not, grey when
// disabled; a white rounded panel behind light and caption while the mouse is over it.
class LedCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    static constexpr int kLightDiameter = 15;
    inline static const QColor kOnColour{0, 255, 0};
    inline static const QColor kOffColour{0, 127, 0};

    explicit LedCheckBox(QWidget* parent = nullptr);

    // The light's square in an item rectangle: 3 pixels in from each side, at the left end (or the
    // right end with the text on the left), vertically centred; one pixel right and down while pressed.
    static QRect LightSquare(const QRect& item, bool textOnLeft, bool pressed);
    // The light's fill.
    static QColor LightColour(bool lit, bool disabled, const QColor& shadow);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    bool mouseOnControl = false;
};

}  // namespace vexlo
