#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace vexlo {

// A "Prog n°" entry: digits only, with arrows (and the Up and Down keys) that step from 1 to 8. Any number of digits
// can be typed: the console, not the field, tells the operator when a number is out of range.
class ProgramNumberField : public QWidget {
    Q_OBJECT
public:
    explicit ProgramNumberField(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* editor() const { return edit; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int delta);

    QLineEdit* edit;
    QToolButton* up;
    QToolButton* down;
};

}  // namespace vexlo

using vexlo::ProgramNumberField;
