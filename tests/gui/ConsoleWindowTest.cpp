#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "config/AppSettings.h"
#include "config/WindowPlacementRecord.h"
#include "console/ui/ConsoleWindow.h"
#include "tests/gui/ModalCloser.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SimulatorThread.h"
#include "widgets/AutoExtentListBox.h"

namespace vexlo {
namespace {

class ConsoleWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.MapPort(1, simulator.PortPath());
        QSettings().remove(ConsoleWindow::kPlacementSection);
        settings.station = 1;
        window = std::make_unique<ConsoleWindow>(settings);
        window->show();
    }
    void TearDown() override { window.reset(); }

    template <typename T>
    T* Child(const char* name) {
        auto* child = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QStringList Lines(const char* list) { return Child<AutoExtentListBox>(list)->Lines(); }

    test::ScopedWorkDir dir;
    test::SimulatorThread simulator;
    AppSettings settings{dir.File("VexloModbusTester.ini")};
    std::unique_ptr<ConsoleWindow> window;
};

TEST_F(ConsoleWindowTest, OpensWithTheLinkShownAndNothingClipped) {
    for (auto* button : window->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();
    }
    EXPECT_EQ(Child<QGroupBox>("statusGroup")->title(), "[ Status ] < Standard Access > ");
    EXPECT_EQ(Child<QLabel>("statusPanel")->text(), "1 : 9600, 8, E, 1, None");
    EXPECT_EQ(Child<QLineEdit>("stationEdit")->text(), "1");
    EXPECT_GE(window->width(), window->minimumSizeHint().width());
    EXPECT_GE(window->height(), window->minimumSizeHint().height());
}

// Enlarged by 200 x 150, each control follows its anchors; it never gets smaller than it opened.
TEST_F(ConsoleWindowTest, ControlsFollowTheirAnchors) {
    const QSize opening = window->size();
    EXPECT_EQ(window->minimumSize(), opening);
    const auto place = [&](const char* name) { return Child<QWidget>(name)->geometry(); };
    const QRect trace = place("traceList"), results = place("resultList"), commands = place("commandGroup"),
                status = place("statusGroup"), setup = place("setupButton"), exit = place("exitButton"),
                communication = place("communicationGroup");
    window->resize(opening + QSize(200, 150));
    EXPECT_EQ(place("traceList"), trace.adjusted(0, 0, 200, 150));
    EXPECT_EQ(place("resultList"), results.adjusted(200, 0, 200, 150));
    EXPECT_EQ(place("commandGroup"), commands.translated(200, 0));
    EXPECT_EQ(place("statusGroup"), status.adjusted(0, 0, 200, 0));
    EXPECT_EQ(place("setupButton"), setup.translated(0, 150));
    EXPECT_EQ(place("exitButton"), exit.translated(200, 150));
    EXPECT_EQ(place("communicationGroup"), communication);
    const QString pictures = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR");
    if (!pictures.isEmpty()) window->grab().save(pictures + "/console-enlarged.png");
}

TEST_F(ConsoleWindowTest, StartSendsTheCoilWriteAndTracesIt) {
    QTest::mouseClick(Child<QPushButton>("startButton"), Qt::LeftButton);
    EXPECT_EQ(Lines("traceList"), (QStringList{"<S>: 01 05 00 01 ff 00 dd fa ", "<R>: 01 05 00 01 ff 00 dd fa "}));
    EXPECT_TRUE(simulator.Model().CycleRunning());
    QTest::mouseClick(Child<QPushButton>("clearListButton"), Qt::LeftButton);
    EXPECT_TRUE(Lines("traceList").isEmpty());
}

TEST_F(ConsoleWindowTest, TimerRunsAtItsPeriods) {
    QTimer& timer = window->StatusTimer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(timer.isSingleShot());
    EXPECT_EQ(timer.timerType(), Qt::PreciseTimer);  // never early
    EXPECT_EQ(timer.interval(), 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return timer.interval() == 100; }, 5000));
    EXPECT_EQ(Child<QLineEdit>("requestsEdit")->text(), "0");
    test::ModalCloser closer(window.get());
    QTest::mouseClick(Child<QPushButton>("setupButton"), Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList{"Program setup"});  // cancelled
    EXPECT_EQ(timer.interval(), 500);
    EXPECT_TRUE(timer.isActive());
}

TEST_F(ConsoleWindowTest, PollingShowsTheInstrumentStatus) {
    QTest::mouseClick(Child<QPushButton>("realTimeStatusButton"), Qt::LeftButton);
    auto* relays = Child<QLineEdit>("relayStatusEdit");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !relays->text().isEmpty(); }, 5000));
    EXPECT_EQ(relays->text(), "0x0020");
    EXPECT_TRUE(Child<QCheckBox>("eocLight")->isChecked());
    EXPECT_EQ(Child<QLabel>("measure1Unit")->text(), "mbar");
    EXPECT_EQ(window->Console().LampState(), kLampGreen);
    // Screen readers get each value field's caption as its name and its text as its value.
    for (const auto& [name, caption] :
         {std::pair{"measure1Unit", "Mesure1 unit"}, std::pair{"statusPanel", "Status text"},
          std::pair{"accessModeLabel", "Access mode"}}) {
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(Child<QLabel>(name));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text(QAccessible::Name), caption);
        EXPECT_EQ(field->text(QAccessible::Value), Child<QLabel>(name)->text());
        EXPECT_FALSE(field->text(QAccessible::Value).isEmpty()) << name;
    }

    // With VEXLO_SCREENSHOT_DIR set, leave pictures of a running cycle for a person to look at.
    const QString pictures = qEnvironmentVariable("VEXLO_SCREENSHOT_DIR");
    if (pictures.isEmpty()) return;
    QTest::mouseClick(Child<QPushButton>("startButton"), Qt::LeftButton);
    QTest::qWait(1500);
    window->grab().save(pictures + "/console-running.png");
    Child<QCheckBox>("erdCheck")->setChecked(true);
    QTest::qWait(4000);
    QTest::mouseClick(Child<QPushButton>("readLastResultButton"), Qt::LeftButton);
    window->grab().save(pictures + "/console-result.png");
}

TEST_F(ConsoleWindowTest, EnterClosesOnlyWhenTheEntriesPass) {
    test::ModalCloser closer(window.get());
    auto* count = Child<QLineEdit>("wordCountEdit");
    count->setFocus();
    count->setText("0");
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(closer.texts, QStringList{"Please enter an integer between 1 and 128."});
    count->setText("12");
    QTest::keyClick(count, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

// Distinct values, one bit at a time: a widget wired to its neighbour's value shows.
TEST_F(ConsoleWindowTest, CountersAndLightsReachTheirOwnWidgets) {
    window->Console().ShowLinkCounters(LinkCounters{11, 22, 33, 44, 55, 66});
    EXPECT_EQ(Child<QLineEdit>("requestsEdit")->text(), "11");
    EXPECT_EQ(Child<QLineEdit>("errorsEdit")->text(), "22");
    EXPECT_EQ(Child<QLineEdit>("crcErrorsEdit")->text(), "33");
    EXPECT_EQ(Child<QLineEdit>("timeoutsEdit")->text(), "44");
    EXPECT_EQ(Child<QLineEdit>("negativeEdit")->text(), "55-66");
    const std::pair<StatusLight, const char*> lights[] = {{StatusLight::Ok, "okLight"},
                                                          {StatusLight::TestReject, "rtLight"},
                                                          {StatusLight::ReferenceReject, "rrLight"},
                                                          {StatusLight::Alarm, "alLight"},
                                                          {StatusLight::EndOfCycle, "eocLight"}};
    for (const auto& [light, name] : lights) {
        for (const auto& [other, unused] : lights) window->SetLight(other, other == light);
        for (const auto& [other, otherName] : lights) {
            EXPECT_EQ(Child<QCheckBox>(otherName)->isChecked(), other == light) << name << " lit, " << otherName;
        }
    }
}

TEST_F(ConsoleWindowTest, PlacementIsSavedAsA44ByteRecord) {
    window->setGeometry(100, 120, 1200, 800);
    window->reject();
    QSettings store;
    const QByteArray bytes = store.value(QString(ConsoleWindow::kPlacementSection) + "/WindowPlacement").toByteArray();
    ASSERT_EQ(bytes.size(), 44);
    const auto record = WindowPlacementRecord::Decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->right - record->left, 1200);
    EXPECT_EQ(record->bottom - record->top, 800);
    // A record of the wrong size is ignored at the next start.
    store.setValue(QString(ConsoleWindow::kPlacementSection) + "/WindowPlacement", bytes.left(43));
    ConsoleWindow second(settings);
    EXPECT_NE(second.size(), QSize(1200, 800));
}

TEST_F(ConsoleWindowTest, PlacementIsRestoredOntoTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size = window->minimumSize().expandedTo(QSize(300, 200)) + QSize(3, 5);
    ASSERT_LE(size.width() + 20, screen.width());
    const auto restored = [&](const QRect& stored) {
        WindowPlacementRecord record;
        record.left = stored.left();
        record.top = stored.top();
        record.right = stored.left() + stored.width();
        record.bottom = stored.top() + stored.height();
        const auto bytes = record.Encode();
        QSettings().setValue(QString(ConsoleWindow::kPlacementSection) + "/WindowPlacement",
                             QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
        ConsoleWindow reopened(settings);
        return reopened.geometry();
    };
    const QRect inside(screen.left() + 7, screen.top() + 11, size.width(), size.height());
    EXPECT_EQ(restored(inside), inside);
    // Hanging off the right edge: back against it, same size.
    const QRect offRight(screen.right() - 5, screen.top() + 11, size.width(), size.height());
    EXPECT_EQ(restored(offRight),
              QRect(screen.left() + screen.width() - size.width(), screen.top() + 11, size.width(), size.height()));
}

}  // namespace
}  // namespace vexlo
