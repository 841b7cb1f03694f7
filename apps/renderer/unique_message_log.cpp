#include "apps/renderer/unique_message_log.h"

namespace glitter::renderer {

void UniqueMessageLog::write(Level level, std::string_view message) {
    if (target == nullptr) {
        return;
    }
    // Held while passing the message on, so that a repeat never overtakes its first copy.
    std::lock_guard<std::mutex> lock(mutex);
    if (seen.size() < kMaxRemembered) {
        if (!seen.emplace(level, std::string(message)).second) {
            return;
        }
    } else if (seen.count({level, std::string(message)}) != 0) {
        return;
    }
    switch (level) {
        case Level::info:
            target->printInfo("%.*s", static_cast<int>(message.size()), message.data());
            break;
        case Level::warning:
            target->printWarning("%.*s", static_cast<int>(message.size()), message.data());
            break;
        case Level::error:
            target->printError("%.*s", static_cast<int>(message.size()), message.data());
            break;
    }
}

}  // namespace glitter::renderer
