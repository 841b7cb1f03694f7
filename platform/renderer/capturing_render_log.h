// A render log that keeps its messages in memory, for tests and for programs that show the
// log themselves. Thread-safe.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/renderer/render_log.h"

namespace KuvoUtils {

class CapturingRenderLog : public RenderLog {
  public:
    struct Entry {
        Level level;
        std::string message;
    };

    /// A copy of every message so far, in the order they arrived.
    std::vector<Entry> entries() const;
    /// The messages as a stream log would print them: level prefix plus text, no newline.
    std::vector<std::string> lines() const;
    std::size_t count(Level level) const;
    void clear();

  protected:
    void write(Level level, std::string_view message) override;

  private:
    mutable std::mutex mutex;
    std::vector<Entry> captured;
};

}  // namespace KuvoUtils
