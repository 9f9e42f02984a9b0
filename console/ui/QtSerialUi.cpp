#include "console/ui/QtSerialUi.h"

#include <QApplication>
#include <QMessageBox>

namespace vexlo {

QtSerialUi::QtSerialUi(QWidget* parent) : parent(parent) { SetSerialUi(this); }

QtSerialUi::~QtSerialUi() { SetSerialUi(nullptr); }

void QtSerialUi::ShowPortError(const std::string& message) {
    QMessageBox::critical(parent, QApplication::applicationName(), QString::fromStdString(message));
}

void QtSerialUi::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtSerialUi::EndWait() { QApplication::restoreOverrideCursor(); }

}  // namespace vexlo
