#include "config/ui/ProgramSetupDialog.h"

#include <QApplication>
#include <QMessageBox>

#include "common/TextParse.h"
#include "config/ui/SerialPortSetupDialog.h"
#include "serial/PortTable.h"
#include "ui_ProgramSetupDialog.h"
#include "widgets/ShadedButton.h"
#include "widgets/ValueAccessible.h"

namespace vexlo {

ProgramSetupDialog::ProgramSetupDialog(AppSettings& settings, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProgramSetupDialog>()), settings(settings), ports(FillPortList()) {
    ui->setupUi(this);
    for (QComboBox* list : findChildren<QComboBox*>()) NameByCaption(list);
    ui->okButton->ApplyConsoleLook(QStringLiteral("ok"), 20);
    ui->cancelButton->ApplyConsoleLook(QStringLiteral("stop"), 20);
    ui->rs232Button->ApplyConsoleLook(QStringLiteral("setup"), 20);
    if (ports.found) {
        ui->portCombo->clear();
        for (const auto& name : ports.names) ui->portCombo->addItem(QString::fromStdString(name));
    }
    ui->portCombo->setCurrentIndex(PositionOfPort(ports, settings.comPort));
    ui->accessModeCombo->setCurrentIndex(settings.accessMode == 0 || settings.accessMode == 1 ? settings.accessMode
                                                                                              : -1);
    ui->stationEdit->setText(QString::number(settings.station));
    ui->usbCheck->setChecked(settings.usbEmulation != 0);
    ui->sessionLogCheck->setChecked(settings.sessionLog != 0);
    connect(ui->okButton, &QPushButton::clicked, this, &ProgramSetupDialog::Accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->rs232Button, &QPushButton::clicked, this, &ProgramSetupDialog::EditPortSettings);
}

ProgramSetupDialog::~ProgramSetupDialog() = default;

void ProgramSetupDialog::Accept() {
    const auto entered = ParseWholeNumber(ui->stationEdit->text().toStdString());
    const bool isNumber = entered.has_value();
    if (!isNumber || *entered < 1 || *entered > 255) {
        QMessageBox::warning(
            this, QApplication::applicationName(),
            isNumber ? tr("Please enter an integer between 1 and 255.") : tr("Please enter an integer."));
        ui->stationEdit->setFocus();
        ui->stationEdit->selectAll();
        return;
    }
    // A list left without a selection keeps the stored value.
    const int position = ui->portCombo->currentIndex();
    const int port = SelectedPortIndex(ports, position);
    if (port >= 0) settings.comPort = port;
    if (port >= 0 && static_cast<size_t>(position) < ports.stableNames.size()) {
        settings.chosenPortDevice = ports.stableNames[static_cast<size_t>(position)];
    }
    settings.station = static_cast<std::int32_t>(*entered);
    if (ui->accessModeCombo->currentIndex() >= 0) settings.accessMode = ui->accessModeCombo->currentIndex();
    settings.usbEmulation = ui->usbCheck->isChecked() ? 1 : 0;
    settings.sessionLog = ui->sessionLogCheck->isChecked() ? 1 : 0;
    accept();
}

void ProgramSetupDialog::EditPortSettings() {
    const int index = SelectedPortIndex(ports, ui->portCombo->currentIndex());
    SerialPortSetupDialog dialog(GetPortSettings(index), this);
    if (dialog.exec() != QDialog::Accepted) return;
    SetPortSettings(index, dialog.Settings());
    SavePortTable();
}

}  // namespace vexlo
