// The host's wide string: zero-terminated 16-bit text (UTF-16), as names and messages are held.
#pragma once

#include <string>
#include <string_view>

#include "platform/host/host_types.h"

namespace host {

class WStr {
public:
    WStr() = default;
    WStr(const char16_t* text)
        : text_(text != nullptr ? text : u"") {}           // NOLINT: host strings convert
    WStr(std::u16string text) : text_(std::move(text)) {}  // NOLINT
    WStr(std::u16string_view text) : text_(text) {}        // NOLINT

    /// UTF-8 to UTF-16; malformed bytes become U+FFFD.
    static WStr fromUtf8(std::string_view utf8);
    /// UTF-16 to UTF-8; lone surrogates become U+FFFD. For diagnostics and tests.
    std::string toUtf8() const;

    /// Always zero-terminated; never null.
    const char16_t* data() const { return text_.c_str(); }
    int Length() const { return static_cast<int>(text_.size()); }
    bool isNull() const { return text_.empty(); }
    const std::u16string& str() const { return text_; }
    std::u16string_view view() const { return text_; }

    WStr& Append(std::u16string_view more) {
        text_.append(more);
        return *this;
    }
    WStr& operator+=(std::u16string_view more) { return Append(more); }

    friend bool operator==(const WStr& a, const WStr& b) = default;
    friend bool operator==(const WStr& a, const char16_t* b) { return a.view() == b; }

private:
    std::u16string text_;
};

using MSTR = WStr;
using TSTR = WStr;

}  // namespace host
