#include "apps/renderer/progress_bar.h"

#include <algorithm>
#include <cmath>

namespace glitter::renderer {

namespace {

constexpr int kBarWidth = 30;

std::string formatSeconds(double seconds) {
    char text[32];
    if (seconds < 60.0) {
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    } else {
        const long total = std::lround(std::min(seconds, 359999.0));
        std::snprintf(text, sizeof text, "%ld:%02ld min", total / 60, total % 60);
    }
    return text;
}

}  // namespace

ProgressBar::ProgressBar(std::FILE* stream_, bool enabled_, std::string label_)
    : stream(stream_),
      enabled(enabled_),
      label(std::move(label_)),
      start(std::chrono::steady_clock::now()) {}

std::string ProgressBar::format(const std::string& label, double fraction, double elapsed) {
    if (!(fraction >= 0.0)) {
        fraction = 0.0;
    }
    fraction = std::min(fraction, 1.0);
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::string left = "--";
    if (fraction >= 1.0) {
        left = "done";
    } else if (fraction > 0.0) {
        left = formatSeconds(elapsed * (1.0 - fraction) / fraction) + " left";
    }
    char text[160];
    std::snprintf(text, sizeof text, "%s [%s] %3d%%  %s", label.c_str(), bar.c_str(),
                  static_cast<int>(fraction * 100.0), left.c_str());
    return text;
}

void ProgressBar::update(double fraction) {
    if (!enabled) {
        return;
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Clear to the end of the line: the text can get shorter.
    std::fprintf(stream, "\r%s\x1b[K", format(label, fraction, elapsed).c_str());
    std::fflush(stream);
    drawn = true;
}

void ProgressBar::finish() {
    if (enabled && drawn) {
        std::fputc('\n', stream);
        std::fflush(stream);
    }
    drawn = false;
}

}  // namespace glitter::renderer
