#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "widgets/AutoExtentListBox.h"
#include "widgets/CEditEx.h"
#include "widgets/GradientProgressBar.h"
#include "widgets/IndicatorLamp.h"
#include "widgets/LedCheckBox.h"
#include "widgets/StatusPanel.h"

namespace vexlo {
namespace {

using Band = GradientProgressBar::Band;

// A parent of a known background colour, so that painted pixels can be told from it.
struct Backdrop {
    Backdrop() {
        QPalette colours = parent.palette();
        colours.setColor(QPalette::Window, kGround);
        parent.setPalette(colours);
        parent.setAutoFillBackground(true);
        parent.resize(200, 100);
    }
    QColor Pixel(QWidget* child, int x, int y) {
        return parent.grab().toImage().pixelColor(child->mapTo(&parent, QPoint(x, y)));
    }
    inline static const QColor kGround{10, 20, 30};
    QWidget parent;
};

TEST(IndicatorLampTest, LampLedAndEditColours) {
    Backdrop backdrop;
    auto* lamp = new IndicatorLamp(&backdrop.parent);
    lamp->setGeometry(10, 10, 20, 20);
    lamp->SetLamp(32, 0, 0);
    EXPECT_EQ(backdrop.Pixel(lamp, 10, 10), QColor(255, 255, 0));  // lit yellow in the middle
    EXPECT_EQ(backdrop.Pixel(lamp, 2, 2), Backdrop::kGround);      // magenta shows the ground
    EXPECT_EQ(backdrop.Pixel(lamp, 19, 19), Backdrop::kGround);    // outside the lamp, never painted
    lamp->SetRow(0);
    EXPECT_EQ(backdrop.Pixel(lamp, 10, 10), QColor(255, 0, 0));

    auto* led = new LedCheckBox(&backdrop.parent);
    led->setGeometry(100, 50, 80, 25);
    const auto light = [&] { return backdrop.Pixel(led, 10, 11); };  // its middle, at the left of the box
    EXPECT_EQ(light(), QColor(0, 127, 0));
    led->setChecked(true);
    EXPECT_EQ(light(), QColor(0, 255, 0));
    led->setEnabled(false);
    EXPECT_EQ(light(), led->palette().color(QPalette::Dark));

    // The edit keeps the window colour when read-only.
    CEditEx edit;
    edit.SetTextColor(Qt::blue);
    EXPECT_EQ(edit.palette().color(QPalette::Disabled, QPalette::Text), QColor(Qt::blue));
    edit.setReadOnly(true);
    EXPECT_EQ(edit.palette().color(QPalette::Disabled, QPalette::Base), edit.BackgroundColor());
}

TEST(GradientProgressBarTest, RangeStepsAndBands) {
    GradientProgressBar bar;
    bar.SetRange(600, 500);
    EXPECT_EQ(bar.Lower(), 500);
    EXPECT_EQ(bar.Upper(), 600);
    for (int i = 0; i < 100; ++i) bar.StepIt();
    EXPECT_EQ(bar.Position(), 600);
    // Rotation by 30 brings the last 30 pixels first, the band across the cut split in two.
    const std::vector<Band> three = {{0, 50, Qt::red}, {50, 80, Qt::green}, {80, 100, Qt::blue}};
    EXPECT_EQ(GradientProgressBar::RotateBands(three, 100, 30),
              (std::vector<Band>{{0, 10, Qt::green}, {10, 30, Qt::blue}, {30, 80, Qt::red}, {80, 100, Qt::green}}));

    bar.SetScrollStep(1);
    for (int i = 0; i < 101; ++i) bar.AdvancePhase();
    EXPECT_EQ(bar.Phase(), 1);  // repeats every 100 ticks over the range 500..600
}

TEST(StatusPanelTest, WrapRule) {
    const auto fitsFive = [](const QString& piece) { return piece.size() <= 5; };
    EXPECT_EQ(StatusPanel::WrapLines("abcdefghij", fitsFive), (QStringList{"abcde", "fghij"}));
    // A line that runs into a space ends after it; one that runs into a word ends at its last space.
    EXPECT_EQ(StatusPanel::WrapLines("ab cdef gh", fitsFive), (QStringList{"ab", "cdef ", "gh"}));
    EXPECT_EQ(StatusPanel::WrapLines("ab\r\ncd", fitsFive), (QStringList{"ab", "cd"}));
    EXPECT_EQ(StatusPanel::WrapLines("ab\ncd", [](const QString&) { return true; }), (QStringList{"ab\ncd"}));
    // The status dump breaks between registers, never inside one.
    const auto fitsFourteen = [](const QString& piece) { return piece.size() <= 14; };
    EXPECT_EQ(StatusPanel::WrapLines("0001 0000 0001 0020", fitsFourteen), (QStringList{"0001 0000", "0001 0020"}));
}

TEST(AutoExtentListBoxTest, ExtentFollowsTheWidestLine) {
    AutoExtentListBox list;
    list.AddString("short");
    const int shortExtent = list.HorizontalExtent();
    list.AddString(QString(200, 'W'));
    const int wide = list.HorizontalExtent();
    EXPECT_GT(wide, shortExtent);
    list.AddString(QString(200, 'W'));  // two lines as wide: one gone leaves the other
    list.AddString("x");
    list.DeleteString(1);
    EXPECT_EQ(list.HorizontalExtent(), wide);
    list.DeleteString(1);
    EXPECT_EQ(list.HorizontalExtent(), shortExtent);
    list.ResetContent();
    EXPECT_EQ(list.HorizontalExtent(), 0);
}

}  // namespace
}  // namespace vexlo
