#include "text/utf8.h"

#include <limits>

namespace glitter {

namespace {

constexpr uint32_t kRawBytePlaneFirst = 0x100000;
constexpr uint32_t kRawBytePlaneLast = 0x1000FF;

// The measured length stays small enough for callers to add the 2 bytes of headroom in 32 bits.
constexpr int32_t kMeasureLimit = std::numeric_limits<int32_t>::max() - 2;

bool isHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

int32_t toUtf8(const char16_t* text, char* out, int32_t outSize) noexcept {
    const int32_t limit = out == nullptr ? kMeasureLimit : (outSize > 0 ? outSize : 0);
    int32_t written = 0;
    if (text != nullptr) {
        const char16_t* unit = text;
        while (*unit != 0 && written < limit) {
            uint32_t codePoint = *unit;
            int consumed = 1;
            // Only a high surrogate opens a pair: a low one followed by another low one is two
            // lone surrogates, not an invented code point above U+10FFFF.
            if (isHighSurrogate(codePoint) && isLowSurrogate(unit[1])) {
                codePoint = (codePoint - 0xD800) * 0x400 + (unit[1] - 0xDC00u) + 0x10000;
                consumed = 2;
            }

            if (codePoint >= kRawBytePlaneFirst && codePoint <= kRawBytePlaneLast) {
                if (out != nullptr) {
                    out[written] = static_cast<char>(codePoint - kRawBytePlaneFirst);
                }
                ++written;
            } else if (codePoint <= 0x7F) {
                if (out != nullptr) {
                    out[written] = static_cast<char>(codePoint);
                }
                ++written;
            } else {
                // Continuation bytes: at most 3, since a pair reaches U+10FFFF at most.
                const int continuation = codePoint > 0xFFFF ? 3 : (codePoint > 0x7FF ? 2 : 1);
                if (limit - written < continuation + 1) {
                    break;
                }
                if (out != nullptr) {
                    const uint32_t leadMask = 0x3Fu >> continuation;
                    const uint32_t leadBits = (0xFF80u >> continuation) & 0xFFu;
                    out[written] = static_cast<char>(
                        ((codePoint >> (6 * continuation)) & leadMask) | leadBits);
                    for (int k = continuation - 1; k >= 0; --k) {
                        out[written + continuation - k] =
                            static_cast<char>(((codePoint >> (6 * k)) & 0x3Fu) | 0x80u);
                    }
                }
                written += continuation + 1;
            }
            unit += consumed;
        }
    }
    if (out != nullptr && written < outSize) {
        out[written] = '\0';
    }
    return written;
}

}  // namespace glitter
