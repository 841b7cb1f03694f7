#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glitter {
namespace {

constexpr char kUntouched = '\x5A';

// Converts into `outSize` bytes between guard bytes; returns the length and the whole buffer.
std::pair<int32_t, std::string> convert(const char16_t* text, int32_t outSize) {
    std::vector<char> buffer(static_cast<size_t>(outSize) + 32, kUntouched);
    const int32_t length = toUtf8(text, buffer.data() + 16, outSize);
    const std::string guards(16, kUntouched);
    EXPECT_EQ(std::string(buffer.data(), 16), guards) << "wrote before the buffer";
    EXPECT_EQ(std::string(buffer.data() + 16 + outSize, 16), guards) << "wrote past the buffer";
    return {length, std::string(buffer.data() + 16, static_cast<size_t>(outSize))};
}

TEST(ToUtf8, EncodesCharactersSurrogatesAndRawBytes) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"abc", "abc"}, {u"", ""}, {u"\u00E9", "\xC3\xA9"},
        {u"\u07FF\u0800\uFFFF", "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {{0xD800, u'a'}, "\xED\xA0\x80" "a"},
        {{0xDC00, 0xDC01}, "\xED\xB0\x80\xED\xB0\x81"},  // two lone lows
        {{0xDBC0, 0xDC41}, "A"},
        {{0xDBC0, 0xDCFF, u'z'}, "\xFFz"},
        {{0xDBC0, 0xDD00}, "\xF4\x80\x84\x80"},  // just past the raw-byte plane
    };
    for (const auto& [text, expected] : cases) {
        const int32_t measured = toUtf8(text.c_str(), nullptr, 0);
        const std::string bytes = expected + '\0' + kUntouched;
        EXPECT_EQ(convert(text.c_str(), measured + 2), std::pair(int32_t(expected.size()), bytes));
    }
    EXPECT_EQ(convert(nullptr, 2), std::make_pair(0, std::string(1, '\0') + kUntouched));
    char untouched = kUntouched;
    EXPECT_EQ(toUtf8(u"abc", &untouched, -5), 0);
    EXPECT_EQ(untouched, kUntouched);
}

TEST(ToUtf8, ShortBufferCutsAtAWholeCharacter) {
    const char16_t text[] = {u'a', 0x00E9, 0xD83D, 0xDE00, u'b', 0};
    const std::string whole = "a\xC3\xA9\xF0\x9F\x98\x80" "b";
    const int32_t fitting[] = {0, 1, 1, 3, 3, 3, 3, 7, 8, 8};  // longest whole prefix per size
    for (int32_t size = 0; size <= 9; ++size) {
        std::string expected = whole.substr(0, static_cast<size_t>(fitting[size]));
        if (fitting[size] < size) expected += '\0';
        expected.resize(static_cast<size_t>(size), kUntouched);
        EXPECT_EQ(convert(text, size), std::make_pair(fitting[size], expected)) << size;
    }
}

}  // namespace
}  // namespace glitter
