#include "render/utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace glitter {
namespace {

// Converts into a buffer of `outSize` bytes surrounded by guard bytes; the result's `bytes` holds
// the whole buffer, so tests see what was (and was not) written.
struct Converted {
    int32_t length;
    std::string bytes;
};

constexpr char kUntouched = '\x5A';

Converted convert(const char16_t* text, int32_t outSize) {
    std::vector<char> buffer(static_cast<size_t>(outSize) + 32, kUntouched);
    const int32_t length = toUtf8(text, buffer.data() + 16, outSize);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(buffer[i], kUntouched) << "wrote before the buffer";
        EXPECT_EQ(buffer[16 + static_cast<size_t>(outSize) + i], kUntouched)
            << "wrote past the buffer";
    }
    return {length, std::string(buffer.data() + 16, static_cast<size_t>(outSize))};
}

std::string bytesOf(std::initializer_list<unsigned> values) {
    std::string s;
    for (unsigned v : values) {
        s.push_back(static_cast<char>(v));
    }
    return s;
}

TEST(ToUtf8, MeasuresAndConvertsPlainText) {
    EXPECT_EQ(toUtf8(u"abc", nullptr, 0), 3);
    const Converted c = convert(u"abc", 5);
    EXPECT_EQ(c.length, 3);
    EXPECT_EQ(c.bytes, std::string("abc\0", 4) + kUntouched);
}

TEST(ToUtf8, EmptyTextWritesOnlyATerminator) {
    EXPECT_EQ(toUtf8(u"", nullptr, 0), 0);
    EXPECT_EQ(convert(u"", 1).bytes, std::string(1, '\0'));
    EXPECT_EQ(convert(u"", 0).length, 0);
    EXPECT_EQ(convert(nullptr, 2).bytes, std::string("\0", 1) + kUntouched);
}

TEST(ToUtf8, EncodesCharactersSurrogatesAndRawBytes) {
    struct Case {
        std::u16string text;
        std::string expected;
    };
    const Case cases[] = {
        {u"\u00E9", bytesOf({0xC3, 0xA9})},
        {u"\u07FF\u0800", bytesOf({0xDF, 0xBF, 0xE0, 0xA0, 0x80})},
        {u"\uFFFF", bytesOf({0xEF, 0xBF, 0xBF})},
        {{0xD83D, 0xDE00}, bytesOf({0xF0, 0x9F, 0x98, 0x80})},
        {{0xDBFF, 0xDFFF}, bytesOf({0xF4, 0x8F, 0xBF, 0xBF})},
        {{0xD800}, bytesOf({0xED, 0xA0, 0x80})},
        {{0xD800, u'a'}, bytesOf({0xED, 0xA0, 0x80, 'a'})},
        {{0xDC00, 0xDC01}, bytesOf({0xED, 0xB0, 0x80, 0xED, 0xB0, 0x81})},
        {{0xDBC0, 0xDC41}, bytesOf({0x41})},
        {{0xDBC0, 0xDCFF, u'z'}, bytesOf({0xFF, 'z'})},
        {{0xDBC0, 0xDD00}, bytesOf({0xF4, 0x80, 0x84, 0x80})},  // just past the raw-byte plane
    };
    for (const Case& c : cases) {
        const int32_t measured = toUtf8(c.text.c_str(), nullptr, 0);
        EXPECT_EQ(measured, static_cast<int32_t>(c.expected.size()));
        const Converted out = convert(c.text.c_str(), measured + 2);
        EXPECT_EQ(out.length, measured);
        EXPECT_EQ(out.bytes, c.expected + '\0' + kUntouched);
    }
}

TEST(ToUtf8, ShortBufferCutsAtAWholeCharacter) {
    const char16_t text[] = {u'a', 0x00E9, 0xD83D, 0xDE00, u'b', 0};
    const std::string whole = bytesOf({'a', 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80, 'b'});
    // The longest whole-character prefix that fits in each buffer size.
    const int32_t fitting[] = {0, 1, 1, 3, 3, 3, 3, 7, 8, 8};
    for (int32_t size = 0; size <= 9; ++size) {
        const Converted out = convert(text, size);
        EXPECT_EQ(out.length, fitting[size]) << "buffer " << size;
        std::string expected = whole.substr(0, static_cast<size_t>(out.length));
        if (out.length < size) {
            expected += '\0';
        }
        expected.resize(static_cast<size_t>(size), kUntouched);
        EXPECT_EQ(out.bytes, expected) << "buffer " << size;
    }
}

TEST(ToUtf8, FullBufferGetsNoTerminator) {
    EXPECT_EQ(convert(u"abc", 3).bytes, "abc");
    EXPECT_EQ(convert(u"abc", 3).length, 3);
    EXPECT_EQ(convert(u"abc", 0).length, 0);
    char untouched = kUntouched;
    EXPECT_EQ(toUtf8(u"abc", &untouched, -5), 0);
    EXPECT_EQ(untouched, kUntouched);
}

}  // namespace
}  // namespace glitter
