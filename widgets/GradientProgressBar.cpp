#include "widgets/GradientProgressBar.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace vexlo {

GradientProgressBar::GradientProgressBar(QWidget* parent) : QProgressBar(parent) {
    const QColor caption = palette().color(QPalette::Active, QPalette::Highlight);
    stops = {caption, caption};
    QProgressBar::setRange(0, 100);
    QProgressBar::setValue(0);
    setTextVisible(false);
    connect(&animation, &QTimer::timeout, this, &GradientProgressBar::AdvancePhase);
}

void GradientProgressBar::SetRange(int lower, int upper) {
    if (lower > upper) std::swap(lower, upper);
    const int position = std::clamp(value(), lower, upper);
    QProgressBar::setRange(lower, upper);
    QProgressBar::setValue(position);
    update();
}

void GradientProgressBar::SetPosition(int position) {
    QProgressBar::setValue(std::clamp(position, minimum(), maximum()));
    update();
}

void GradientProgressBar::StepIt() {
    SetPosition(value() + step);
    repaint();
}

void GradientProgressBar::SetColourStops(const std::vector<QColor>& newStops) {
    stops = newStops.size() >= 2 ? newStops : std::vector<QColor>{newStops.front(), newStops.front()};
    update();
}

void GradientProgressBar::AdvancePhase() {
    const int span = static_cast<int>((maximum() - minimum()) * stretch);
    // An empty range has no phase to move through.
    if (span == 0) return;
    phase = (phase + scrollStep) % span;
    update();
}

void GradientProgressBar::StartAnimation(int intervalMs) { animation.start(intervalMs); }

std::vector<GradientProgressBar::Band> GradientProgressBar::GradientBands(const std::vector<QColor>& stops, int length,
                                                                          int budget) {
    std::vector<Band> bands;
    const int gaps = static_cast<int>(stops.size()) - 1;
    if (gaps < 1 || length <= 0) return bands;
    int gapStart = 0;
    for (int gap = 0; gap < gaps; ++gap) {
        const int gapEnd =
            gap == gaps - 1 ? length : static_cast<int>(static_cast<long long>(length) * (gap + 1) / gaps);
        const int gapLength = gapEnd - gapStart;
        const QColor& from = stops[static_cast<size_t>(gap)];
        const QColor& to = stops[static_cast<size_t>(gap) + 1];
        const int dr = to.red() - from.red();
        const int dg = to.green() - from.green();
        const int db = to.blue() - from.blue();
        int count = std::max({std::abs(dr), std::abs(dg), std::abs(db)});
        count = std::min(count, gapLength);
        if (budget > 0) count = std::min(count, budget);
        count = std::max(count, 1);
        for (int k = 0; k < count; ++k) {
            const int start = gapStart + k * gapLength / count;
            const int end = k == count - 1 ? gapEnd : gapStart + (k + 1) * gapLength / count;
            bands.push_back(
                {start, end,
                 QColor(from.red() + k * dr / count, from.green() + k * dg / count, from.blue() + k * db / count)});
        }
        gapStart = gapEnd;
    }
    return bands;
}

std::vector<GradientProgressBar::Band> GradientProgressBar::RotateBands(const std::vector<Band>& bands, int length,
                                                                        int offset) {
    if (length <= 0) return bands;
    offset = ((offset % length) + length) % length;
    if (offset == 0) return bands;
    // Pixel x moves to (x + offset) mod length: the last offset pixels come first.
    std::vector<Band> head;
    std::vector<Band> tail;
    const int cut = length - offset;
    for (const Band& band : bands) {
        if (band.end <= cut) {
            tail.push_back({band.start + offset, band.end + offset, band.colour});
        } else if (band.start >= cut) {
            head.push_back({band.start - cut, band.end - cut, band.colour});
        } else {
            tail.push_back({band.start + offset, length, band.colour});
            head.push_back({0, band.end - cut, band.colour});
        }
    }
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

int GradientProgressBar::FilledWidth(int width, int lower, int upper, int position) {
    if (position <= lower || upper <= lower) return 0;
    return static_cast<int>(static_cast<long long>(width) * (position - lower) / (upper - lower));
}

void GradientProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = rect();
    painter.fillRect(client, palette().color(QPalette::Button));
    const int filled = FilledWidth(client.width(), minimum(), maximum(), value());
    if (filled <= 0) return;
    const int length = static_cast<int>(client.width() * stretch);
    const int range = maximum() - minimum();
    const int offset = range == 0 ? 0 : client.width() * phase / range;
    painter.setClipRect(QRect(client.left(), client.top(), filled, client.height()));
    for (const Band& band : RotateBands(GradientBands(stops, length), length, offset)) {
        if (band.start >= filled) continue;
        painter.fillRect(QRect(client.left() + band.start, client.top(), band.end - band.start, client.height()),
                         band.colour);
    }
}

}  // namespace vexlo
