#include "console/ui/IdentifierDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpressionValidator>

#include "instrument/IdentifierAccess.h"
#include "ui_IdentifierDialog.h"
#include "widgets/ShadedButton.h"

namespace vexlo {

IdentifierDialog::IdentifierDialog(TesterConsole& console, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::IdentifierDialog>()), console(console) {
    ui->setupUi(this);
    ui->exitButton->ApplyConsoleLook(QStringLiteral("stop"), 20);
    ui->readButton->ApplyConsoleLook(QStringLiteral("readtime"), 32);
    ui->writeButton->ApplyConsoleLook(QStringLiteral("settime"), 32);
    ui->programField->setText(QStringLiteral("1"));
    ui->idEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), ui->idEdit));
    connect(ui->readButton, &QPushButton::clicked, this, &IdentifierDialog::Read);
    connect(ui->writeButton, &QPushButton::clicked, this, &IdentifierDialog::Write);
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::accept);
}

IdentifierDialog::~IdentifierDialog() = default;

bool IdentifierDialog::Refused(const std::optional<std::string>& message) {
    if (!message) return false;
    QMessageBox::warning(this, QApplication::applicationName(), QString::fromStdString(*message));
    return true;
}

void IdentifierDialog::Read() {
    const IdentifierOutcome outcome = [this] {
        PollGate::Hold hold(console.StatusPoll());
        return ReadIdentifier(console.Device(), console, ui->programField->text().toStdString(),
                              ui->idEdit->text().toStdString());
    }();
    if (Refused(outcome.message)) return;
    if (outcome.valueText) ui->valueEdit->setText(QString::fromStdString(*outcome.valueText));
}

void IdentifierDialog::Write() {
    const IdentifierOutcome outcome = [this] {
        PollGate::Hold hold(console.StatusPoll());
        return WriteIdentifier(console.Device(), console, ui->programField->text().toStdString(),
                               ui->idEdit->text().toStdString(), ui->valueEdit->text().toStdString());
    }();
    (void)Refused(outcome.message);
}

}  // namespace vexlo
