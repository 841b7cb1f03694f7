#include "pools/exception_msg.h"

#include <cstdarg>
#include <cstdio>

namespace KuvoUtils {

ExceptionMsg::ExceptionMsg(const char* format, ...) {
    message[0] = '\0';
    if (format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    // An encoding error may leave the buffer in any state; an empty message is the honest result.
    if (length < 0) {
        message[0] = '\0';
    }
}

ExceptionMsg::~ExceptionMsg() = default;

const char* ExceptionMsg::getMessage() const { return message; }

}  // namespace KuvoUtils
