// Fuzzes toUtf8 over arbitrary text and buffer sizes: no write outside the buffer, the measured
// length fits, and a short buffer gets a whole-character prefix of the full conversion.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/utf8.h"

namespace {

constexpr std::size_t kGuard = 64;
constexpr unsigned char kGuardByte = 0xA7;

void require(bool condition) {
    if (!condition) std::abort();
}

// Converts into `size` usable bytes between guard bytes; returns the length and the usable bytes.
int32_t convertGuarded(const char16_t* text, int32_t size, std::vector<unsigned char>& usable) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size) + 2 * kGuard, kGuardByte);
    const int32_t length = glitter::toUtf8(text, reinterpret_cast<char*>(&bytes[kGuard]), size);
    for (std::size_t i = 0; i < kGuard; ++i) {
        require(bytes[i] == kGuardByte);
        require(bytes[kGuard + static_cast<std::size_t>(size) + i] == kGuardByte);
    }
    usable.assign(bytes.begin() + kGuard, bytes.end() - kGuard);
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // First byte: how short the second buffer is; the rest: the text, two bytes per unit.
    const unsigned shortfall = data[0];
    std::vector<char16_t> text;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    text.push_back(0);

    const int32_t measured = glitter::toUtf8(text.data(), nullptr, 0);
    require(measured >= 0);
    std::vector<unsigned char> whole, part;
    require(convertGuarded(text.data(), measured + 2, whole) == measured);
    require(whole[static_cast<std::size_t>(measured)] == 0);

    const int32_t outSize = measured + 2 - static_cast<int32_t>(shortfall % (measured + 3));
    const int32_t cut = convertGuarded(text.data(), outSize, part);
    require(cut >= 0 && cut <= outSize && cut <= measured);
    // An empty buffer has no data pointer to compare (memcmp must not see a null one).
    require(cut == 0 || std::memcmp(part.data(), whole.data(), static_cast<std::size_t>(cut)) == 0);
    // Terminated when there is room; cut early only by a character (<= 4 bytes) that did not fit.
    require(cut == outSize || part[static_cast<std::size_t>(cut)] == 0);
    require(cut == measured || outSize - cut < 4);
    return 0;
}
