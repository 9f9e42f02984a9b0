#pragma once

#include <QDialog>
#include <memory>

#include "console/TesterConsole.h"

namespace Ui {
class IdentifierDialog;
}

namespace vexlo {

// "Identifiants": reads or writes any parameter of any program by its number.
class IdentifierDialog final : public QDialog {
    Q_OBJECT
public:
    // Its transactions run through the console's device with the status poll held off, and are
    // traced in the console's trace.
    IdentifierDialog(TesterConsole& console, QWidget* parent);
    ~IdentifierDialog() override;

private:
    void Read();
    void Write();
    bool Refused(const std::optional<std::string>& message);

    std::unique_ptr<Ui::IdentifierDialog> ui;
    TesterConsole& console;
};

}  // namespace vexlo
