#include "progressbar.h"

#include "panel.h"

#include <algorithm>
#include <climits>

namespace {

int clampToInt(int64_t value) {
    return static_cast<int>(std::min<int64_t>(value, INT_MAX));
}

} // namespace

QProgressBar* progressBar(QWidget* parent, const char* name, QRect geometry, int maximum) {
    auto* bar = new QProgressBar(parent);
    placeComponent(bar, name, geometry);
    bar->setRange(0, maximum);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

void showFileProgress(QProgressBar* bar, int64_t total, std::optional<int64_t> position) {
    bar->setMaximum(std::max(1, clampToInt(total)));
    if (position)
        bar->setValue(std::min(bar->maximum(), clampToInt(*position)));
}
