// UTF-16 host text to the 8-bit text of the renderer's log, without allocating.
#pragma once

#include <cstdint>

namespace glitter {

/// Converts the zero-terminated `text` to UTF-8 in `out` (`outSize` bytes) and returns the number
/// of bytes produced, without the terminator. With a null `out` nothing is written and the length
/// of the whole text is returned; a buffer of that length + 2 then always holds the whole text
/// and its terminator.
///
/// Rules beyond plain UTF-8: a lone surrogate is encoded as if it were a character; the code
/// points U+100000..U+1000FF (high unit 0xDBC0, low unit 0xDC00..0xDCFF) stand for the single raw
/// bytes 0x00..0xFF. When the buffer runs out the result ends on a whole character, followed by a
/// terminator if there is room left for it (a result that fills the buffer has none). A null
/// `text` counts as empty.
int32_t toUtf8(const char16_t* text, char* out, int32_t outSize) noexcept;

}  // namespace glitter
