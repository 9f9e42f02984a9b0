#pragma once

#include <QProgressBar>
#include <QTimer>
#include <vector>

namespace vexlo {

// A progress bar whose filled part is a multi-colour gradient that can scroll along the bar: the
// console's running-cycle animation (a rainbow from red back to red, scrolled one hundredth of the
// bar every 55 ms).
class GradientProgressBar final : public QProgressBar {
    Q_OBJECT
public:
    static constexpr int kAnimationIntervalMs = 55;

    // One solid band of the gradient, from start to end pixel (end exclusive).
    struct Band {
        int start;
        int end;
        QColor colour;
        bool operator==(const Band&) const = default;
    };

    explicit GradientProgressBar(QWidget* parent = nullptr);

    // Lower and upper in either order; the position is clamped into the new range.
    void SetRange(int lower, int upper);
    // Clamped to the range.
    void SetPosition(int position);
    void SetStep(int newStep) { step = newStep; }
    // Adds the step, clamped; repaints.
    void StepIt();
    int Lower() const { return minimum(); }
    int Upper() const { return maximum(); }
    int Position() const { return value(); }

    void SetColourStops(const std::vector<QColor>& stops);
    void SetScrollStep(int step) { scrollStep = step; }
    void ClearScrollPhase() { phase = 0; }
    int Phase() const { return phase; }
    // One tick of the animation: the phase moves by the scroll step, modulo the gradient's range.
    void AdvancePhase();
    // The owner starts and stops the animation timer on the bar.
    void StartAnimation(int intervalMs = kAnimationIntervalMs);
    void StopAnimation() { animation.stop(); }
    bool Animating() const { return animation.isActive(); }

    // The bands of a gradient of the given length over equal gaps between the stops; at most
    // budget bands a gap when budget is above 0.
    static std::vector<Band> GradientBands(const std::vector<QColor>& stops, int length, int budget = 0);
    // The same bands rotated so that their last offset pixels come first.
    static std::vector<Band> RotateBands(const std::vector<Band>& bands, int length, int offset);
    // Right edge of the filled part for a client width.
    static int FilledWidth(int width, int lower, int upper, int position);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QColor> stops;
    int step = 10;
    int phase = 0;
    int scrollStep = 0;
    float stretch = 1.0f;
    QTimer animation;
};

}  // namespace vexlo
