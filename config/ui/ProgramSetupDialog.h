#pragma once

#include <QDialog>
#include <memory>

#include "config/AppSettings.h"
#include "serial/PortChoice.h"

namespace Ui {
class ProgramSetupDialog;
}

namespace vexlo {

// "Program setup": port, station, access mode, the USB emulation flag and the session log; "RS232" edits the chosen
// port's line parameters and saves them at once.
class ProgramSetupDialog final : public QDialog {
    Q_OBJECT
public:
    ProgramSetupDialog(AppSettings& settings, QWidget* parent);
    ~ProgramSetupDialog() override;

private:
    void Accept();
    void EditPortSettings();

    std::unique_ptr<Ui::ProgramSetupDialog> ui;
    AppSettings& settings;
    PortChoices ports;
};

}  // namespace vexlo
