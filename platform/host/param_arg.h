// One argument of a variadic host description (ParamBlockDesc2, FPInterfaceDesc), turned into a
// small variant so the argument list can be parsed and checked instead of read blindly.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/host/color.h"
#include "platform/host/param_types.h"
#include "platform/host/wstr.h"

namespace host {

class ClassDesc;
class ParamMap2UserDlgProc;

using ParamArg = std::variant<std::int64_t, float, double, ParamTag, WStr, Color, ClassDesc*,
                              ParamMap2UserDlgProc*, std::nullptr_t>;
using ParamArgList = std::vector<ParamArg>;

namespace detail {
template <class>
inline constexpr bool kUnsupportedArg = false;
}  // namespace detail

/// Converts one argument. Unsupported argument types do not compile.
template <class T>
ParamArg toParamArg(T&& value) {
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<D, ParamTag>) {
        return value;
    } else if constexpr (std::is_same_v<D, bool>) {
        return std::int64_t{value ? 1 : 0};
    } else if constexpr (std::is_enum_v<D>) {
        return static_cast<std::int64_t>(value);
    } else if constexpr (std::is_integral_v<D>) {
        static_assert(sizeof(D) <= 4 || std::is_signed_v<D>,
                      "64-bit unsigned arguments are not supported");
        return static_cast<std::int64_t>(value);
    } else if constexpr (std::is_same_v<D, float> || std::is_same_v<D, double>) {
        return value;
    } else if constexpr (std::is_same_v<D, std::nullptr_t>) {
        return nullptr;
    } else if constexpr (std::is_same_v<D, Color>) {
        return value;
    } else if constexpr (std::is_same_v<D, WStr> || std::is_same_v<D, std::u16string>) {
        return WStr(value);
    } else if constexpr (std::is_convertible_v<D, const char16_t*>) {
        return WStr(static_cast<const char16_t*>(value));
    } else if constexpr (std::is_convertible_v<D, const char*>) {
        return WStr::fromUtf8(static_cast<const char*>(value));
    } else if constexpr (std::is_convertible_v<D, ClassDesc*>) {
        return static_cast<ClassDesc*>(value);
    } else if constexpr (std::is_convertible_v<D, ParamMap2UserDlgProc*>) {
        return static_cast<ParamMap2UserDlgProc*>(value);
    } else {
        static_assert(detail::kUnsupportedArg<D>,
                      "argument type not accepted in a host description");
        return nullptr;
    }
}

template <class... Args>
ParamArgList makeParamArgList(Args&&... args) {
    ParamArgList list;
    list.reserve(sizeof...(Args));
    (list.push_back(toParamArg(std::forward<Args>(args))), ...);
    return list;
}

/// Name of the argument's kind, for error messages.
const char* paramArgKindName(const ParamArg& arg);

}  // namespace host
