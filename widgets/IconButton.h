#pragma once

#include <QIcon>
#include <QPushButton>

namespace vexlo {

// A flat push button with an icon left of its caption: no border at rest, a raised border while the
// mouse is over it, sunken and shifted one pixel right and down while pressed, a greyed icon and an
// etched caption when disabled. It never draws a focus rectangle.
class IconButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr QPoint kPressedOffset{1, 1};
    static constexpr QPoint kImageMargin{3, 3};

    explicit IconButton(QWidget* parent = nullptr);

    // The icon drawn in every state, at its own size (or the given one).
    void SetButtonIcon(const QIcon& icon, const QSize& size = QSize());
    bool MouseOnButton() const { return mouseOnButton; }

    // Where the icon goes in an item rectangle: the image margin in from the left, vertically
    // centred; centred both ways when there is no caption; shifted while pressed.
    static QRect IconRect(const QRect& item, const QSize& icon, bool hasCaption, bool pressed);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The face under the border, icon and caption; flat by default.
    virtual void PaintFace(QPainter& painter, bool pressed);

private:
    void EndHover();

    QIcon buttonIcon;
    QSize buttonIconSize;
    bool mouseOnButton = false;
};

}  // namespace vexlo
