// A one-line progress bar with the time left, redrawn in place on a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace glitter::renderer {

class ProgressBar {
  public:
    /// Draws nothing unless `enabled` (the program passes whether the stream is a terminal).
    ProgressBar(std::FILE* stream, bool enabled, std::string label);
    /// Redraws the bar for `fraction` done (0 to 1).
    void update(double fraction);
    /// Ends the line.
    void finish();

    /// The bar's text for `fraction` done after `elapsedSeconds`, without the carriage return.
    static std::string format(const std::string& label, double fraction, double elapsedSeconds);

  private:
    std::FILE* stream;
    bool enabled;
    bool drawn = false;
    std::string label;
    std::chrono::steady_clock::time_point start;
};

}  // namespace glitter::renderer
