#include "console/ui/TimeSetupDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <variant>

#include "instrument/TimeSetup.h"
#include "ui_TimeSetupDialog.h"
#include "widgets/ShadedButton.h"

namespace vexlo {

TimeSetupDialog::TimeSetupDialog(TesterConsole& console, int programNumber, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TimeSetupDialog>()), console(console), programIndex(programNumber - 1) {
    ui->setupUi(this);
    ui->okButton->ApplyConsoleLook(QStringLiteral("ok"), 20);
    ui->cancelButton->ApplyConsoleLook(QStringLiteral("stop"), 20);
    setWindowTitle(windowTitle() + QStringLiteral(" - P%1").arg(programNumber));
    fields = {ui->fillTimeEdit, ui->stabTimeEdit, ui->testTimeEdit, ui->rejectTestEdit, ui->rejectRefEdit};
    TimeSetupValues values{};
    {
        PollGate::Hold hold(console.StatusPoll());
        values = ReadTimeSetup(console.Device(), programIndex);
    }
    for (size_t i = 0; i < fields.size(); ++i) fields[i]->setText(QString::fromStdString(TimeSetupText(values[i])));
    connect(ui->okButton, &QPushButton::clicked, this, &TimeSetupDialog::Write);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TimeSetupDialog::~TimeSetupDialog() = default;

void TimeSetupDialog::Write() {
    TimeSetupTexts texts;
    for (size_t i = 0; i < fields.size(); ++i) texts[i] = fields[i]->text().toStdString();
    const auto parsed = ParseTimeSetup(texts);
    if (const auto* refusal = std::get_if<TimeSetupRefusal>(&parsed)) {
        QMessageBox::warning(this, QApplication::applicationName(), QString::fromStdString(refusal->message));
        QLineEdit* field = fields[static_cast<size_t>(refusal->field)];
        field->setFocus();
        field->selectAll();
        return;
    }
    PollGate::Hold hold(console.StatusPoll());
    WriteTimeSetup(console.Device(), console, programIndex, std::get<TimeSetupValues>(parsed));
}

}  // namespace vexlo
