#pragma once

#include <QLabel>
#include <QStringList>
#include <functional>

namespace vexlo {

// A text panel that paints itself in its own colour and wraps long text by its own rule: at the
// last space that lets the line fit, or at the last character that fits when the line has no
// space; a CR LF (or LF CR) pair breaks the line, a lone CR or LF does not.
class StatusPanel final : public QLabel {
    Q_OBJECT
public:
    explicit StatusPanel(QWidget* parent = nullptr);

    void SetPanelText(const QString& text) { setText(text); }
    void SetPanelTextColour(const QColor& colour);
    QColor PanelTextColour() const { return textColour; }

    // The lines of a text, where fits tells whether a piece of a line fits the panel's width.
    static QStringList WrapLines(const QString& text, const std::function<bool(const QString&)>& fits);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor textColour;
};

}  // namespace vexlo
