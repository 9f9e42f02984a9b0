#pragma once

#include <QDialog>

class QLineEdit;

namespace vexlo {

// "Vexlo Modbus testeur": the logo, the version text of the program, the maker's lines and "Exit".
class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QString VersionFieldText() const;

private:
    QLineEdit* versionField;
};

}  // namespace vexlo
