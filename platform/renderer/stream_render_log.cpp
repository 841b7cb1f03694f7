#include "platform/renderer/stream_render_log.h"

#include <string>

namespace KuvoUtils {

void StreamRenderLog::write(Level level, std::string_view message) {
    if (stream == nullptr) {
        return;
    }
    std::string line(levelPrefix(level));
    line += message;
    if (line.empty() || line.back() != '\n') {
        line += '\n';
    }
    // One call per line: stdio locks the stream for it, so lines from several threads never
    // interleave.
    std::fwrite(line.data(), 1, line.size(), stream);
}

}  // namespace KuvoUtils
