#include "apps/host/param_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

#include "apps/host/cli_error.h"

namespace glitter::hostcli {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string nameOf(const host::ParamDef& def) { return def.internalName.toUtf8(); }

[[noreturn]] void refuse(const host::ParamDef& def, std::string_view text, const std::string& why) {
    throw CliError(nameOf(def) + ": '" + std::string(text) + "' is not " + why);
}

// A finite float, the whole text and nothing else.
bool readFloat(std::string_view text, float& v) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(v);
}

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t comma = text.find(',');
        parts.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

std::string timeText(host::TimeValue t) { return std::to_string(t); }

}  // namespace

std::string formatFloat(float v) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

std::string formatColor(const host::Color& c) {
    return formatFloat(c.r) + "," + formatFloat(c.g) + "," + formatFloat(c.b);
}

std::string formatInterval(const host::Interval& valid) {
    if (valid.Empty()) return "never";
    const bool fromStart = valid.Start() == host::TIME_NegInfinity;
    const bool toEnd = valid.End() == host::TIME_PosInfinity;
    if (fromStart && toEnd) return "forever";
    if (!fromStart && !toEnd && valid.Start() == valid.End()) return timeText(valid.Start());
    return (fromStart ? std::string("(-inf") : "[" + timeText(valid.Start())) + ", " +
           (toEnd ? std::string("+inf)") : timeText(valid.End()) + "]");
}

std::string typeName(host::ParamType2 type) {
    switch (type) {
        case host::TYPE_FLOAT:
            return "float";
        case host::TYPE_INT:
            return "int";
        case host::TYPE_RGBA:
            return "colour";
        case host::TYPE_BOOL:
            return "bool";
        case host::TYPE_TEXMAP:
            return "map";
    }
    return "type " + std::to_string(static_cast<int>(type));
}

std::string formatRange(const host::ParamDef& def) {
    if (def.type == host::TYPE_RGBA) {
        return formatFloat(host::kColorMin) + " to " + formatFloat(host::kColorMax);
    }
    if (!def.hasRange) return "-";
    switch (def.type) {
        case host::TYPE_FLOAT:
            return formatFloat(def.rangeLow.f) + " to " + formatFloat(def.rangeHigh.f);
        case host::TYPE_INT:
            return std::to_string(def.rangeLow.i) + " to " + std::to_string(def.rangeHigh.i);
        default:
            return "-";
    }
}

std::string formatScalar(const host::ParamDef& def, const host::ParamValueRecord& v) {
    switch (def.type) {
        case host::TYPE_FLOAT:
            return formatFloat(v.f);
        case host::TYPE_INT:
            return std::to_string(v.i);
        case host::TYPE_BOOL:
            return v.i != 0 ? "on" : "off";
        case host::TYPE_RGBA:
            return formatColor(v.c);
        case host::TYPE_TEXMAP:
            break;
    }
    return "?";
}

host::ParamValueRecord parseScalar(const host::ParamDef& def, std::string_view text,
                                   const std::vector<std::string>& comboItems) {
    host::ParamValueRecord v;
    switch (def.type) {
        case host::TYPE_BOOL: {
            const std::string word = lower(text);
            if (word == "on" || word == "true" || word == "yes" || word == "1") {
                v.i = 1;
            } else if (word == "off" || word == "false" || word == "no" || word == "0") {
                v.i = 0;
            } else {
                refuse(def, text, "on or off");
            }
            return v;
        }
        case host::TYPE_INT: {
            for (std::size_t item = 0; item < comboItems.size(); ++item) {
                if (!comboItems[item].empty() && lower(comboItems[item]) == lower(text)) {
                    v.i = static_cast<int>(item);
                    return v;
                }
            }
            std::int64_t wide = 0;
            const char* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, wide);
            if (text.empty() || ec != std::errc() || ptr != end || wide < INT_MIN ||
                wide > INT_MAX) {
                std::string why = "a whole number";
                for (const std::string& item : comboItems) why += " or '" + item + "'";
                refuse(def, text, why);
            }
            if (def.hasRange && (wide < def.rangeLow.i || wide > def.rangeHigh.i)) {
                throw CliError(nameOf(def) + ": " + std::string(text) + " is out of range (" +
                               formatRange(def) + ")");
            }
            v.i = static_cast<int>(wide);
            return v;
        }
        case host::TYPE_FLOAT: {
            if (!readFloat(text, v.f)) refuse(def, text, "a finite number");
            // Negated comparisons would let a NaN through; readFloat has refused those already.
            if (def.hasRange && (v.f < def.rangeLow.f || v.f > def.rangeHigh.f)) {
                throw CliError(nameOf(def) + ": " + std::string(text) + " is out of range (" +
                               formatRange(def) + ")");
            }
            return v;
        }
        case host::TYPE_RGBA: {
            const std::vector<std::string_view> parts = splitCommas(text);
            if (parts.size() != 3 || !readFloat(parts[0], v.c.r) || !readFloat(parts[1], v.c.g) ||
                !readFloat(parts[2], v.c.b)) {
                refuse(def, text, "a colour R,G,B of three finite numbers");
            }
            if (!host::IsColorInRange(v.c)) {
                throw CliError(nameOf(def) + ": " + std::string(text) +
                               " is out of range (each component " + formatRange(def) + ")");
            }
            return v;
        }
        case host::TYPE_TEXMAP:
            break;
    }
    throw CliError(nameOf(def) + ": parameters of type " + typeName(def.type) +
                   " cannot be set here");
}

MapSpec parseMapSpec(const host::ParamDef& def, std::string_view text) {
    MapSpec mapValue;
    if (lower(text) == "none") return mapValue;
    constexpr std::string_view kConstant = "constant:";
    if (!lower(text).starts_with(kConstant)) refuse(def, text, "none or constant:R,G,B[,A]");
    const std::vector<std::string_view> parts = splitCommas(text.substr(kConstant.size()));
    mapValue.none = false;
    mapValue.color.a = 1.0f;
    if ((parts.size() != 3 && parts.size() != 4) || !readFloat(parts[0], mapValue.color.r) ||
        !readFloat(parts[1], mapValue.color.g) || !readFloat(parts[2], mapValue.color.b) ||
        (parts.size() == 4 && !readFloat(parts[3], mapValue.color.a))) {
        refuse(def, text, "none or constant:R,G,B[,A] with finite numbers");
    }
    if (!host::IsColorInRange(host::Color(mapValue.color.r, mapValue.color.g, mapValue.color.b))) {
        throw CliError(nameOf(def) + ": the map colour in '" + std::string(text) +
                       "' is out of range (each component " + formatFloat(host::kColorMin) +
                       " to " + formatFloat(host::kColorMax) + ")");
    }
    if (mapValue.color.a < 0.0f || mapValue.color.a > 1.0f) {
        throw CliError(nameOf(def) + ": alpha " + formatFloat(mapValue.color.a) +
                       " is out of range (0 to 1)");
    }
    return mapValue;
}

}  // namespace glitter::hostcli
