#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace vexlo::test {

// Answers every modal box or dialog (other than the given main window) that opens while it lives,
// and keeps the message texts and dialog titles it met.
class ModalCloser {
public:
    explicit ModalCloser(QWidget* mainWindow = nullptr) {
        QObject::connect(&poll, &QTimer::timeout, [this, mainWindow] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            } else if (auto* dialog = qobject_cast<QDialog*>(modal); dialog != nullptr && dialog != mainWindow) {
                texts << dialog->windowTitle();
                dialog->reject();
            }
        });
        poll.start(20);
    }
    QStringList texts;

private:
    QTimer poll;
};

}  // namespace vexlo::test
