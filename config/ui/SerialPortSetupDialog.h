#pragma once

#include <QDialog>
#include <memory>

#include "serial/PortSettings.h"

namespace Ui {
class SerialPortSetupDialog;
}

namespace vexlo {

// "Serial port setup": the line parameters of one port, edited on a copy.
class SerialPortSetupDialog final : public QDialog {
    Q_OBJECT
public:
    SerialPortSetupDialog(const PortSettings& settings, QWidget* parent);
    ~SerialPortSetupDialog() override;
    const PortSettings& Settings() const { return settings; }

private:
    void Accept();

    std::unique_ptr<Ui::SerialPortSetupDialog> ui;
    PortSettings settings;
};

}  // namespace vexlo
