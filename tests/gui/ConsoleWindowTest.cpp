#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSizeGrip>
#include <QTest>

#include "app/TesterApp.h"
#include "app/VersionInfo.h"
#include "config/AppSettings.h"
#include "config/WindowPlacementRecord.h"
#include "config/ui/ProgramSetupDialog.h"
#include "config/ui/SerialPortSetupDialog.h"
#include "console/ui/ConsoleWindow.h"
#include "console/ui/IdentifierDialog.h"
#include "console/ui/ProgramNumberField.h"
#include "console/ui/TimeSetupDialog.h"
#include "serial/PortTable.h"
#include "simulator/harness/SimulatorThread.h"
#include "tests/support/ScopedWorkDir.h"
#include "widgets/AutoExtentListBox.h"
#include "widgets/CaptionLabel.h"

namespace vexlo {
namespace {

const std::string kVersion = "Version : " + std::to_string(VEXLO_VERSION_MAJOR) + ". " +
                             std::to_string(VEXLO_VERSION_MINOR) + ". " + std::to_string(VEXLO_VERSION_PATCH) + ". " +
                             std::to_string(VEXLO_VERSION_TWEAK);
const QString kTitle = QString::fromStdString("VEXLO Modbus tester ( RS232/RS485 Modbus RTU - " + kVersion + " )");

// Answers each modal box (OK) or dialog (Cancel) but the main window, keeping the box's text or the dialog's title.
struct ModalCloser {
    explicit ModalCloser(QWidget* mainWindow = nullptr) {
        QObject::connect(&poll, &QTimer::timeout, [this, mainWindow] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog == mainWindow) return;
            auto* box = qobject_cast<QMessageBox*>(dialog);
            texts << (box != nullptr ? box->text() : dialog->windowTitle());
            dialog->done(box != nullptr ? int{QMessageBox::Ok} : int{QDialog::Rejected});
        });
        poll.start(20);
    }
    QStringList texts;
    QTimer poll;
};

template <typename T>
T* Find(QWidget* parent, const char* name) {
    auto* child = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class ConsoleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, simulator.PortPath());
        QSettings().remove(ConsoleWindow::kPlacementSection);
        settings.station = 1;
        window = std::make_unique<ConsoleWindow>(settings);
        window->show();
    }

    template <typename T = QWidget>
    T* Child(const char* name) {
        return Find<T>(window.get(), name);
    }
    QString Text(const char* name) {
        auto* field = qobject_cast<ProgramNumberField*>(Child(name));
        return field != nullptr ? field->text() : Child<QLineEdit>(name)->text();
    }
    void Click(const char* name) { QTest::mouseClick(Child<QPushButton>(name), Qt::LeftButton); }

    test::ScopedWorkDir dir;
    test::SimulatorThread simulator;
    AppSettings settings{dir.File("VexloModbusTester.ini")};
    std::unique_ptr<ConsoleWindow> window;
};

// The shares of the growth (dw, dh) by which a control's left, top, right and bottom edges move; others stay.
struct Follow {
    const char* name;
    int left, top, right, bottom;
};
const Follow kFollows[] = {
    {"statusGroup", 0, 0, 1, 0},      {"framesCaption", 0, 0, 1, 0}, {"statusPanel", 0, 0, 1, 0},
    {"progressBar", 0, 0, 1, 0},      {"commandGroup", 1, 0, 1, 0},  {"traceList", 0, 0, 1, 1},
    {"resultList", 1, 0, 1, 1},       {"bottomCaption", 0, 1, 1, 1}, {"setupButton", 0, 1, 0, 1},
    {"copyRecordButton", 0, 1, 0, 1}, {"searchButton", 1, 1, 1, 1},  {"listboxToFileButton", 1, 1, 1, 1},
    {"clearListButton", 1, 1, 1, 1},  {"exitButton", 1, 1, 1, 1},
};

// Also run at 150 % (QT_SCALE_FACTOR=1.5 on the 1920 x 1080 test screen: 1280 x 720).
TEST_F(ConsoleWindowTest, LayoutFitsTheScreenAndFollowsTheAnchorsWithoutOverlapUpTo2560By1440) {
    ConsoleWindow& window = *this->window;
    const QSize opening = window.size();
    EXPECT_EQ(window.minimumSize(), opening);
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry()));
    EXPECT_EQ(window.findChildren<QSizeGrip*>().size(), 1);
    EXPECT_GT(Child<CaptionLabel>("bottomCaption")->Rule()->width(), 0);
    for (auto* button : window.findChildren<QAbstractButton*>()) EXPECT_FALSE(button->accessibleName().isEmpty());

    std::map<QWidget*, QRect> opened;
    for (QWidget* parent : {static_cast<QWidget*>(&window), Child("statusGroup")}) {
        for (QWidget* control : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QSizeGrip*>(control) == nullptr) opened[control] = control->geometry();
        }
    }
    for (const QSize size : {opening, opening + QSize(1, 1), opening + QSize(0, 300), QSize(1560, 960),
                             opening.expandedTo(QSize(2560, 1440))}) {
        window.resize(size);
        const int dw = window.width() - opening.width(), dh = window.height() - opening.height();
        for (const auto& [control, place] : opened) {
            SCOPED_TRACE(QStringLiteral("%1 at %2 x %3").arg(control->objectName()).arg(dw).arg(dh).toStdString());
            Follow rule{"", 0, 0, 0, 0};
            for (const Follow& follow : kFollows) rule = control->objectName() == follow.name ? follow : rule;
            EXPECT_EQ(control->geometry(),
                      place.adjusted(rule.left * dw, rule.top * dh, rule.right * dw, rule.bottom * dh));
            EXPECT_TRUE(control->parentWidget()->rect().contains(control->geometry()));
            for (const auto& [other, unused] : opened) {
                if (other != control && other->parentWidget() == control->parentWidget() && other->isVisible()) {
                    EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                        << other->objectName().toStdString();
                }
            }
        }
    }
}

// The widgets of the console logic's entries, displays, options and lights, in the order of their enums.
const char* const kEntries[] = {"readAddressEdit", "wordCountEdit",    "writeAddressEdit",    "writeWordEdit",
                                "writeLongEdit",   "timeProgramField", "runningProgramField", "interCycleEdit"};
const char* const kDisplays[] = {"comNumberEdit", "stationEdit",   "requestsEdit",    "errorsEdit",
                                 "timeoutsEdit",  "crcErrorsEdit", "negativeEdit",    "runningProgramDisplay",
                                 "fifoCountEdit", "testTypeEdit",  "relayStatusEdit", "stepCodeEdit",
                                 "measure1Value", "measure1Unit",  "measure2Value",   "measure2Unit",
                                 "readWordEdit",  "readLongEdit",  "readHexEdit"};
const char* const kOptions[] = {"realTimeStatusButton", "erdCheck",      "readFifoCheck",
                                "inputRegisterCheck",   "swapWordCheck", "writeBitCheck"};
const char* const kLights[] = {"okLight", "rtLight", "rrLight", "alLight", "eocLight"};

QAccessibleInterface* Reader(QWidget* widget) { return QAccessible::queryAccessibleInterface(widget); }

// Own values and lone switches show a crossed wire; a screen reader reads each display's caption and value.
TEST_F(ConsoleWindowTest, EveryEntryDisplayOptionAndLightReachesItsOwnWidget) {
    const auto value = [](int i) { return QString::number(11 + i); };
    for (int i = 0; i < int(std::size(kEntries)); ++i) window->SetEntryText(Entry(i), value(i).toStdString());
    for (int i = 0; i < int(std::size(kDisplays)); ++i) window->SetDisplayText(Display(i), value(20 + i).toStdString());
    for (int i = 0; i < int(std::size(kEntries)); ++i) {
        EXPECT_EQ(Text(kEntries[i]), value(i)) << kEntries[i];
        EXPECT_EQ(window->EntryText(Entry(i)), value(i).toStdString()) << kEntries[i];
    }
    window->SetStatusText("0001 0000");
    window->SetAccessModeLabel("Direct Access");
    window->SetStatusCaption("[ Status ] < Direct Access > ");
    std::vector<std::pair<const char*, QString>> shown = {{"statusPanel", "0001 0000"},
                                                          {"accessModeLabel", "Direct Access"},
                                                          {"statusGroup", "[ Status ] < Direct Access > "}};
    for (int i = 0; i < int(std::size(kDisplays)); ++i) shown.emplace_back(kDisplays[i], value(20 + i));
    for (const auto& [name, text] : shown) {
        QAccessibleInterface* field = Reader(Child(name));
        EXPECT_EQ(field->text(QAccessible::Value), text) << name;
        EXPECT_FALSE(field->text(QAccessible::Name).isEmpty() || field->text(QAccessible::Name) == text) << name;
    }
    for (int on = 0; on < int(std::size(kOptions)); ++on) {
        for (int i = 0; i < int(std::size(kOptions)); ++i) Child<QAbstractButton>(kOptions[i])->setChecked(i == on);
        for (int i = 0; i < int(std::size(kOptions)); ++i)
            EXPECT_EQ(window->IsChecked(Option(i)), i == on) << kOptions[i];
    }
    for (int on = 0; on < int(std::size(kLights)); ++on) {
        for (int i = 0; i < int(std::size(kLights)); ++i) window->SetLight(StatusLight(i), i == on);
        for (int i = 0; i < int(std::size(kLights)); ++i) {
            EXPECT_EQ(Child<QCheckBox>(kLights[i])->isChecked(), i == on) << kLights[on] << " lit, " << kLights[i];
        }
    }
    // The lamp's colour is told in words; "Prog n°" steps from the keyboard and carries its name.
    QAccessibleInterface* lamp = Reader(Child("lamp"));
    for (const auto& [row, words] : {std::pair{kLampRed, "link failed"}, std::pair{kLampGreen, "link good"},
                                     std::pair{kLampYellow, "not polling"}}) {
        window->SetLampRow(row);
        EXPECT_EQ(lamp->text(QAccessible::Value), words);
    }
    auto* program = Child<ProgramNumberField>("runningProgramField");
    program->setText("7");
    QTest::keyClick(program->editor(), Qt::Key_Up);
    QTest::keyClick(program->editor(), Qt::Key_Up);
    EXPECT_EQ(program->text(), "8");
    QTest::keyClick(program->editor(), Qt::Key_Down);
    EXPECT_EQ(program->text(), "7");
    EXPECT_EQ(Reader(program->editor())->text(QAccessible::Name), "Running Prog n°");
}

// The status timer is ticked by hand here; its periods are the console logic's, tested there.
TEST_F(ConsoleWindowTest, ButtonsAndEnterReachTheConsoleAndTheTimerIsTheConsolesTimer) {
    PrepareConsole(*window);
    EXPECT_EQ(window->windowTitle(), kTitle);
    EXPECT_EQ(VersionInfo().FixedInfo()[2], (VEXLO_VERSION_MAJOR << 16u) | VEXLO_VERSION_MINOR);
    QTimer& timer = window->StatusTimer();
    EXPECT_TRUE(timer.isSingleShot());
    EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);  // never early
    EXPECT_EQ(timer.interval(), 1000);
    Click("realTimeStatusButton");
    window->Console().TimerTick();
    EXPECT_EQ(Text("relayStatusEdit"), "0x0020");
    ModalCloser closer(window.get());
    Click("setupButton");
    EXPECT_EQ(closer.texts, QStringList{"Program setup"});  // cancelled
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 500);  // the console's period after a dialog, passed on
    Click("startButton");
    EXPECT_EQ(Child<AutoExtentListBox>("traceList")->Lines(),
              (QStringList{"<S>: 01 05 00 01 ff 00 dd fa ", "<R>: 01 05 00 01 ff 00 dd fa "}));
    EXPECT_TRUE(simulator.Locked()->CycleRunning());
    Click("clearListButton");
    EXPECT_TRUE(Child<AutoExtentListBox>("traceList")->Lines().isEmpty());
    // Enter closes the console only when the entries pass.
    auto* count = Child<QLineEdit>("wordCountEdit");
    count->setFocus();
    count->setText("0");
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(closer.texts, (QStringList{"Program setup", "Please enter an integer between 1 and 128."}));
    count->setText("12");
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

// Fitting a place onto the screens is tested with the record; here, the window keeps its place through it.
TEST_F(ConsoleWindowTest, PlacementIsSavedAndRestored) {
    const QString key = QString(ConsoleWindow::kPlacementSection) + "/WindowPlacement";
    const QRect place(QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(7, 11),
                      window->minimumSize() + QSize(3, 5));
    window->setGeometry(place);
    window->reject();
    const QByteArray saved = QSettings().value(key).toByteArray();
    const auto record = WindowPlacementRecord::Decode(std::vector<std::uint8_t>(saved.begin(), saved.end()));
    ASSERT_TRUE(record);
    EXPECT_EQ(QRect(QPoint(record->left, record->top), QPoint(record->right - 1, record->bottom - 1)), place);
    QSettings().setValue(key, saved);
    EXPECT_EQ(ConsoleWindow(settings).geometry(), place);
}

TEST_F(ConsoleWindowTest, SetupDialogsShowAndStoreTheChoices) {
    settings.accessMode = 1;
    settings.station = 17;
    ProgramSetupDialog dialog(settings, window.get());
    dialog.show();
    auto* station = Find<QLineEdit>(&dialog, "stationEdit");
    EXPECT_EQ(Find<QComboBox>(&dialog, "accessModeCombo")->currentText(), "Direct Access");
    EXPECT_EQ(station->text(), "17");
    ModalCloser closer;
    for (const char* refused : {"0", "256", "x"}) {
        station->setText(refused);
        QTest::mouseClick(Find<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), 0);
    }
    const QString range = "Please enter an integer between 1 and 255.";
    EXPECT_EQ(closer.texts, (QStringList{range, range, "Please enter an integer."}));
    EXPECT_EQ(settings.station, 17);
    station->setText("255");
    Find<QComboBox>(&dialog, "accessModeCombo")->setCurrentIndex(0);
    auto* sessionLog = Find<QCheckBox>(&dialog, "sessionLogCheck");
    EXPECT_FALSE(sessionLog->isChecked());  // off unless asked for
    sessionLog->setChecked(true);
    QTest::keyClick(station, Qt::Key_Return);  // Enter does what OK does
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.station, 255);
    EXPECT_EQ(settings.accessMode, 0);
    EXPECT_EQ(settings.sessionLog, 1);

    // The port's line dialog edits a copy: the table changes only when the caller stores it.
    ResetPortTable();
    PortSettings entry = GetPortSettings(2);
    SerialPortSetupDialog line(entry, window.get());
    line.show();
    auto* baud = Find<QComboBox>(&line, "baudCombo");
    EXPECT_EQ(Find<QLineEdit>(&line, "portNameEdit")->text(), "COM3");
    EXPECT_EQ(Find<QComboBox>(&line, "parityCombo")->currentText(), "EVEN");
    EXPECT_EQ(Reader(baud)->text(QAccessible::Value), "9600");  // what a screen reader reads, as shown
    baud->setCurrentIndex(0);
    Find<QComboBox>(&line, "stopCombo")->setCurrentIndex(1);
    QTest::keyClick(Find<QComboBox>(&line, "stopCombo"), Qt::Key_Return);  // Enter does what OK does
    EXPECT_EQ(line.result(), QDialog::Accepted);
    EXPECT_EQ(line.Settings().Baud(), 115200u);
    EXPECT_EQ(line.Settings().stopBits, 1);
    EXPECT_EQ(GetPortSettings(2).Baud(), 9600u);
}

TEST_F(ConsoleWindowTest, TimeSetupAndIdentifierReadAndWrite) {
    ModalCloser closer;
    TimeSetupDialog dialog(window->Console(), 2, window.get());
    dialog.show();
    EXPECT_EQ(Find<QLineEdit>(&dialog, "fillTimeEdit")->text(), "1.1");
    EXPECT_EQ(Find<QLineEdit>(&dialog, "rejectTestEdit")->text(), "5");
    const auto requests = window->Console().Device().Counters().requests;
    Find<QLineEdit>(&dialog, "stabTimeEdit")->setText("0.4");
    QTest::mouseClick(Find<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList{"Please enter a number between 0.5 and 650."});
    EXPECT_EQ(window->Console().Device().Counters().requests, requests);  // a refusal sends nothing
    Find<QLineEdit>(&dialog, "stabTimeEdit")->setText("2.3");
    QTest::keyClick(Find<QLineEdit>(&dialog, "stabTimeEdit"), Qt::Key_Enter);  // Enter does what OK does
    EXPECT_EQ(simulator.Locked()->Parameter(1, 2), 2300);
    EXPECT_EQ(window->Console().Trace().Size(), 2u);  // the one list write of Standard Access

    IdentifierDialog identifier(window->Console(), window.get());
    QTest::mouseClick(Find<QPushButton>(&identifier, "readButton"), Qt::LeftButton);
    EXPECT_EQ(closer.texts.back(), "ID = ?");
    Find<QLineEdit>(&identifier, "idEdit")->setText("1");
    QTest::mouseClick(Find<QPushButton>(&identifier, "readButton"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>(&identifier, "valueEdit")->text(), "1.000");
    Find<QLineEdit>(&identifier, "valueEdit")->setText("-1.5");
    QTest::mouseClick(Find<QPushButton>(&identifier, "writeButton"), Qt::LeftButton);
    EXPECT_EQ(simulator.Locked()->Parameter(0, 1), -1500);
}

}  // namespace
}  // namespace vexlo
