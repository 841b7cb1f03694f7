#include "platform/renderer/capturing_render_log.h"

#include <utility>

namespace KuvoUtils {

std::vector<CapturingRenderLog::Entry> CapturingRenderLog::entries() const {
    const std::lock_guard lock(mutex);
    return captured;
}

std::vector<std::string> CapturingRenderLog::lines() const {
    const std::lock_guard lock(mutex);
    std::vector<std::string> result;
    result.reserve(captured.size());
    for (const Entry& entry : captured) {
        result.push_back(std::string(levelPrefix(entry.level)) + entry.message);
    }
    return result;
}

std::size_t CapturingRenderLog::count(Level level) const {
    const std::lock_guard lock(mutex);
    std::size_t n = 0;
    for (const Entry& entry : captured) {
        n += entry.level == level ? 1 : 0;
    }
    return n;
}

void CapturingRenderLog::clear() {
    const std::lock_guard lock(mutex);
    captured.clear();
}

void CapturingRenderLog::write(Level level, std::string_view message) {
    Entry entry{level, std::string(message)};
    const std::lock_guard lock(mutex);
    captured.push_back(std::move(entry));
}

}  // namespace KuvoUtils
