#include "config/ui/SerialPortSetupDialog.h"

#include <array>
#include <cstring>

#include "ui_SerialPortSetupDialog.h"
#include "widgets/ShadedButton.h"
#include "widgets/ValueAccessible.h"

namespace vexlo {
namespace {

constexpr std::array<std::uint32_t, 10> kBauds = {115200, 57600, 38400, 28800, 24400, 19200, 9600, 4800, 2400, 1200};
constexpr std::array<int, 2> kBits = {8, 7};
constexpr std::array<int, 3> kStopCodes = {0, 1, 2};
constexpr std::array<int, 3> kParityCodes = {0, 1, 2};

// The position whose table value equals the stored one; none when nothing matches.
template <typename Table, typename Value>
int PositionOf(const Table& table, Value value) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i] == value) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

SerialPortSetupDialog::SerialPortSetupDialog(const PortSettings& entry, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::SerialPortSetupDialog>()), settings(entry) {
    ui->setupUi(this);
    ui->okButton->ApplyConsoleLook(QStringLiteral("ok"), 20);
    ui->cancelButton->ApplyConsoleLook(QStringLiteral("stop"), 20);
    for (QComboBox* list : findChildren<QComboBox*>()) NameByCaption(list);
    ui->portNameEdit->setText(
        QString::fromLatin1(settings.name, static_cast<int>(strnlen(settings.name, sizeof settings.name))));
    ui->baudCombo->setCurrentIndex(PositionOf(kBauds, settings.Baud()));
    ui->bitsCombo->setCurrentIndex(PositionOf(kBits, static_cast<int>(settings.dataBits)));
    ui->stopCombo->setCurrentIndex(PositionOf(kStopCodes, static_cast<int>(settings.stopBits)));
    ui->parityCombo->setCurrentIndex(PositionOf(kParityCodes, static_cast<int>(settings.parity)));
    ui->handshakeCombo->setCurrentIndex(settings.handshake < 3 ? settings.handshake : -1);
    connect(ui->okButton, &QPushButton::clicked, this, &SerialPortSetupDialog::Accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

SerialPortSetupDialog::~SerialPortSetupDialog() = default;

void SerialPortSetupDialog::Accept() {
    // A list left without a selection keeps the value the entry had.
    if (ui->handshakeCombo->currentIndex() >= 0)
        settings.handshake = static_cast<std::uint8_t>(ui->handshakeCombo->currentIndex());
    if (ui->baudCombo->currentIndex() >= 0)
        settings.SetBaud(kBauds[static_cast<size_t>(ui->baudCombo->currentIndex())]);
    if (ui->bitsCombo->currentIndex() >= 0)
        settings.dataBits = static_cast<std::uint8_t>(kBits[static_cast<size_t>(ui->bitsCombo->currentIndex())]);
    if (ui->stopCombo->currentIndex() >= 0)
        settings.stopBits = static_cast<std::uint8_t>(kStopCodes[static_cast<size_t>(ui->stopCombo->currentIndex())]);
    if (ui->parityCombo->currentIndex() >= 0)
        settings.parity = static_cast<std::uint8_t>(kParityCodes[static_cast<size_t>(ui->parityCombo->currentIndex())]);
    accept();
}

}  // namespace vexlo
