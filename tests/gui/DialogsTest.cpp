#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "config/AppSettings.h"
#include "config/ui/ProgramSetupDialog.h"
#include "config/ui/SerialPortSetupDialog.h"
#include "console/ui/ConsoleWindow.h"
#include "console/ui/IdentifierDialog.h"
#include "console/ui/TimeSetupDialog.h"
#include "serial/PortTable.h"
#include "tests/gui/ModalCloser.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"

namespace vexlo {
namespace {

// With VEXLO_SCREENSHOT_DIR set, leaves a picture of the dialog for a person to look at.
void Picture(QWidget* dialog, const char* name) {
    const QString pictures = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR");
    if (!pictures.isEmpty()) dialog->grab().save(pictures + "/" + name + ".png");
}

template <typename T>
T* Child(QWidget* parent, const char* name) {
    auto* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, simulator.PortPath());
        settings.station = 1;
        window = std::make_unique<ConsoleWindow>(settings);
    }
    test::ScopedWorkDir dir;
    test::SimulatorThread simulator;
    AppSettings settings{dir.File("VexloModbusTester.ini")};
    std::unique_ptr<ConsoleWindow> window;
};

TEST_F(DialogsTest, ProgramSetupShowsAndStoresTheChoices) {
    settings.accessMode = 1;
    settings.station = 17;
    ProgramSetupDialog dialog(settings, window.get());
    EXPECT_EQ(Child<QComboBox>(&dialog, "accessModeCombo")->currentText(), "Direct Access");
    EXPECT_EQ(Child<QLineEdit>(&dialog, "stationEdit")->text(), "17");
    auto* ports = Child<QComboBox>(&dialog, "portCombo");
    EXPECT_TRUE(ports->currentText().startsWith("COM1"));  // the simulator's port, mapped in the INI file
    Picture(&dialog, "program-setup");

    test::ModalCloser closer;
    auto* station = Child<QLineEdit>(&dialog, "stationEdit");
    for (const char* refused : {"0", "256", "x"}) {
        station->setText(refused);
        QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), 0);
    }
    EXPECT_EQ(closer.texts.size(), 3);
    EXPECT_EQ(closer.texts[0], "Please enter an integer between 1 and 255.");
    EXPECT_EQ(settings.station, 17);
    station->setText("255");
    Child<QComboBox>(&dialog, "accessModeCombo")->setCurrentIndex(0);
    auto* sessionLog = Child<QCheckBox>(&dialog, "sessionLogCheck");
    EXPECT_FALSE(sessionLog->isChecked());  // off unless asked for
    sessionLog->setChecked(true);
    QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.station, 255);
    EXPECT_EQ(settings.accessMode, 0);
    EXPECT_EQ(settings.sessionLog, 1);
}

TEST_F(DialogsTest, SerialPortSetupEditsACopy) {
    ResetPortTable();
    PortSettings entry = GetPortSettings(2);
    SerialPortSetupDialog dialog(entry, window.get());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "portNameEdit")->text(), "COM3");
    EXPECT_EQ(Child<QComboBox>(&dialog, "baudCombo")->currentText(), "9600");
    EXPECT_EQ(Child<QComboBox>(&dialog, "parityCombo")->currentText(), "EVEN");
    Picture(&dialog, "serial-port-setup");
    Child<QComboBox>(&dialog, "baudCombo")->setCurrentIndex(0);
    Child<QComboBox>(&dialog, "stopCombo")->setCurrentIndex(1);
    QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.Settings().Baud(), 115200u);
    EXPECT_EQ(dialog.Settings().stopBits, 1);
    EXPECT_EQ(GetPortSettings(2).Baud(), 9600u);  // the table changes only when the caller stores it
}

TEST_F(DialogsTest, TimeSetupReadsOnOpeningAndWritesOnOk) {
    TimeSetupDialog dialog(window->Console(), 2, window.get());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "fillTimeEdit")->text(), "1.1");
    EXPECT_EQ(Child<QLineEdit>(&dialog, "rejectTestEdit")->text(), "5");
    Picture(&dialog, "time-setup");
    test::ModalCloser closer;
    Child<QLineEdit>(&dialog, "stabTimeEdit")->setText("0.4");
    QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList{"Please enter a number between 0.5 and 650."});
    Child<QLineEdit>(&dialog, "stabTimeEdit")->setText("2.3");
    QTest::mouseClick(Child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(simulator.Model().Parameter(1, 2), 2300);
    EXPECT_EQ(window->Console().Trace().Size(), 2u);  // the one list write of Standard Access
}

TEST_F(DialogsTest, IdentifierReadsAndWrites) {
    IdentifierDialog dialog(window->Console(), window.get());
    test::ModalCloser closer;
    QTest::mouseClick(Child<QPushButton>(&dialog, "readButton"), Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList{"ID = ?"});
    Child<QLineEdit>(&dialog, "idEdit")->setText("1");
    QTest::mouseClick(Child<QPushButton>(&dialog, "readButton"), Qt::LeftButton);
    EXPECT_EQ(Child<QLineEdit>(&dialog, "valueEdit")->text(), "1.000");
    Picture(&dialog, "identifiants");
    Child<QLineEdit>(&dialog, "valueEdit")->setText("-1.5");
    QTest::mouseClick(Child<QPushButton>(&dialog, "writeButton"), Qt::LeftButton);
    EXPECT_EQ(simulator.Model().Parameter(0, 1), -1500);
}

}  // namespace
}  // namespace vexlo
