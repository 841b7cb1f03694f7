#include "platform/renderer/render_log.h"

#include <cstdio>

namespace KuvoUtils {

void RenderLog::printInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print(Level::info, format, args);
    va_end(args);
}

void RenderLog::printWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print(Level::warning, format, args);
    va_end(args);
}

void RenderLog::printError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    print(Level::error, format, args);
    va_end(args);
}

std::string_view RenderLog::levelPrefix(Level level) {
    switch (level) {
        case Level::warning:
            return "warning: ";
        case Level::error:
            return "error: ";
        case Level::info:
            break;
    }
    return "";
}

std::string RenderLog::formatMessage(const char* format, va_list args) {
    // Most messages fit the stack buffer; longer ones are formatted a second time into a
    // string of the exact size, which needs a fresh copy of the argument list.
    char buffer[512];
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
    std::string text;
    if (needed < 0) {
        text = "(unprintable message)";
    } else if (static_cast<std::size_t>(needed) < sizeof buffer) {
        text.assign(buffer, static_cast<std::size_t>(needed));
    } else {
        text.resize(static_cast<std::size_t>(needed));
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

void RenderLog::print(Level level, const char* format, va_list args) {
    if (format == nullptr) {
        return;
    }
    write(level, formatMessage(format, args));
}

}  // namespace KuvoUtils
