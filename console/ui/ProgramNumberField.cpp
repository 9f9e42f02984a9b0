#include "console/ui/ProgramNumberField.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

ProgramNumberField::ProgramNumberField(QWidget* parent)
    : QWidget(parent), edit(new QLineEdit(this)), up(new QToolButton(this)), down(new QToolButton(this)) {
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaximumWidth(48);
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {up, down}) {
        arrow->setFixedSize(16, 11);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setAutoRepeat(true);
    }
    up->setAccessibleName(tr("Next program"));
    down->setAccessibleName(tr("Previous program"));
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->setContentsMargins(0, 0, 0, 0);
    arrows->addWidget(up);
    arrows->addWidget(down);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(edit);
    row->addLayout(arrows);
    row->addStretch();
    setFocusProxy(edit);
    edit->installEventFilter(this);
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
}

bool ProgramNumberField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString ProgramNumberField::text() const { return edit->text(); }

void ProgramNumberField::setText(const QString& text) { edit->setText(text); }

void ProgramNumberField::Step(int delta) {
    bool ok = false;
    int value = edit->text().toInt(&ok);
    if (!ok) value = delta > 0 ? 0 : 9;
    edit->setText(QString::number(qBound(1, value + delta, 8)));
}

}  // namespace vexlo
