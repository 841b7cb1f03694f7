#include "apps/renderer/parameter_setting.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/wstr.h"

namespace glitter::renderer {

namespace {

// The reflection map `checker` stands for: gold and pale silver squares over map channel 1,
// so that flakes alternate between two metals.
const host::Color kCheckerGold(1.0f, 0.78f, 0.34f);
const host::Color kCheckerSilver(0.78f, 0.82f, 0.92f);
constexpr float kCheckerTiling = 8.0f;

struct FoundParameter {
    host::IParamBlock2* block = nullptr;
    const host::ParamDef* def = nullptr;
};

FoundParameter findParameter(host::Mtl& material, const std::string& name) {
    const host::WStr wide = host::WStr::fromUtf8(name);
    for (int b = 0; b < material.NumParamBlocks(); ++b) {
        host::IParamBlock2* block = material.GetParamBlock(b);
        if (block == nullptr || block->GetDesc() == nullptr) {
            continue;
        }
        const int index = block->GetDesc()->NameToIndex(wide.view());
        if (index >= 0) {
            return {block, &block->GetDesc()->GetParamDef(index)};
        }
    }
    return {};
}

std::string join(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

bool readFloat(std::string_view text, float& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && !text.empty() && std::isfinite(value);
}

bool readInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && !text.empty();
}

bool readBool(std::string_view text, int& value) {
    for (const char* on : {"on", "true", "yes", "1"}) {
        if (text == on) {
            value = 1;
            return true;
        }
    }
    for (const char* off : {"off", "false", "no", "0"}) {
        if (text == off) {
            value = 0;
            return true;
        }
    }
    return false;
}

// R,G,B with each component in the range every parameter block keeps colours in.
bool readColor(const std::vector<std::string_view>& parts, host::Color& color) {
    float c[3] = {};
    if (parts.size() != 3) {
        return false;
    }
    for (std::size_t i = 0; i < 3; ++i) {
        if (!readFloat(parts[i], c[i]) || !host::IsColorComponentInRange(c[i])) {
            return false;
        }
    }
    color = host::Color(c[0], c[1], c[2]);
    return true;
}

std::string formatNumber(float value) {
    char text[32];
    const auto [ptr, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, ptr) : std::string("?");
}

// Deletes a map that no block took.
struct MapDeleter {
    void operator()(host::Texmap* map) const { map->DeleteThis(); }
};
using OwnedMap = std::unique_ptr<host::Texmap, MapDeleter>;

OwnedMap makeMap(const std::string& name, std::string_view text) {
    const auto bad = [&]() {
        return SettingError("parameter '" + name +
                            "' takes none, checker[:TILING] or constant:R,G,B[,A], not '" +
                            std::string(text) + "'");
    };
    if (text == "none") {
        return nullptr;
    }
    const std::size_t colon = text.find(':');
    const std::string_view kind = text.substr(0, colon);
    const std::string_view args =
        colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (kind == "checker") {
        float tiling = kCheckerTiling;
        if (colon != std::string_view::npos &&
            (!readFloat(args, tiling) || tiling < 1e-6f || tiling > 1e6f)) {
            throw bad();
        }
        auto* checker = new host::CheckerTexmap();
        OwnedMap map(checker);
        checker->pblock->SetValue(host::CheckerTexmap::kColor1, 0, kCheckerGold);
        checker->pblock->SetValue(host::CheckerTexmap::kColor2, 0, kCheckerSilver);
        checker->pblock->SetValue(host::CheckerTexmap::kTiling, 0, tiling);
        return map;
    }
    if (kind == "constant" && colon != std::string_view::npos) {
        std::vector<std::string_view> parts = split(args, ',');
        float alpha = 1.0f;
        if (parts.size() == 4) {
            if (!readFloat(parts[3], alpha) || alpha < 0.0f || alpha > 1.0f) {
                throw bad();
            }
            parts.pop_back();
        }
        host::Color color;
        if (!readColor(parts, color)) {
            throw bad();
        }
        auto* constant = new host::ConstantTexmap();
        OwnedMap map(constant);
        constant->pblock->SetValue(host::ConstantTexmap::kColor, 0, color);
        constant->pblock->SetValue(host::ConstantTexmap::kAlpha, 0, alpha);
        return map;
    }
    throw bad();
}

}  // namespace

ParameterSetting parseParameterSetting(std::string_view text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        throw SettingError("--set takes NAME=VALUE, not '" + std::string(text) + "'");
    }
    return {std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

std::vector<std::string> parameterNames(host::Mtl& material) {
    std::vector<std::string> names;
    for (int b = 0; b < material.NumParamBlocks(); ++b) {
        host::IParamBlock2* block = material.GetParamBlock(b);
        if (block == nullptr || block->GetDesc() == nullptr) {
            continue;
        }
        for (int i = 0; i < block->GetDesc()->Count(); ++i) {
            names.push_back(block->GetDesc()->GetParamDef(i).internalName.toUtf8());
        }
    }
    return names;
}

void applyParameterSetting(host::Mtl& material, const ParameterSetting& setting,
                           host::TimeValue t) {
    const std::string& name = setting.name;
    const std::string_view text = setting.value;
    const FoundParameter found = findParameter(material, name);
    if (found.def == nullptr) {
        throw SettingError("the material has no parameter '" + name +
                           "'; its parameters are: " + join(parameterNames(material)));
    }
    const host::ParamDef& def = *found.def;
    const host::WStr wide = host::WStr::fromUtf8(name);
    bool stored = false;
    switch (def.type) {
        case host::TYPE_FLOAT: {
            float value = 0.0f;
            if (!readFloat(text, value)) {
                throw SettingError("parameter '" + name + "' takes a number, not '" +
                                   std::string(text) + "'");
            }
            if (def.hasRange && (value < def.rangeLow.f || value > def.rangeHigh.f)) {
                throw SettingError("parameter '" + name + "' takes a number from " +
                                   formatNumber(def.rangeLow.f) + " to " +
                                   formatNumber(def.rangeHigh.f) + ", not " + std::string(text));
            }
            stored = found.block->SetValueByName(wide.view(), t, value);
            break;
        }
        case host::TYPE_INT: {
            int value = 0;
            const bool inRange =
                readInt(text, value) &&
                (!def.hasRange || (value >= def.rangeLow.i && value <= def.rangeHigh.i));
            if (!inRange) {
                std::string message = "parameter '" + name + "' takes a whole number";
                if (def.hasRange) {
                    message += " from " + std::to_string(def.rangeLow.i) + " to " +
                               std::to_string(def.rangeHigh.i);
                }
                throw SettingError(message + ", not '" + std::string(text) + "'");
            }
            stored = found.block->SetValueByName(wide.view(), t, value);
            break;
        }
        case host::TYPE_BOOL: {
            int value = 0;
            if (!readBool(text, value)) {
                throw SettingError("parameter '" + name + "' takes on or off, not '" +
                                   std::string(text) + "'");
            }
            stored = found.block->SetValueByName(wide.view(), t, value != 0);
            break;
        }
        case host::TYPE_RGBA: {
            host::Color color;
            if (!readColor(split(text, ','), color)) {
                throw SettingError("parameter '" + name +
                                   "' takes a colour R,G,B of numbers from " + formatNumber(host::kColorMin) +
                                   " to " + formatNumber(host::kColorMax) + ", not '" +
                                   std::string(text) + "'");
            }
            stored = found.block->SetValueByName(wide.view(), t, color);
            break;
        }
        case host::TYPE_TEXMAP: {
            OwnedMap map = makeMap(name, text);
            stored = found.block->SetValueByName(wide.view(), t, map.get());
            if (stored) {
                // The block references the map now; it is the block's to delete.
                static_cast<void>(map.release());
            }
            break;
        }
    }
    if (!stored) {
        throw SettingError("the material refused '" + std::string(text) + "' for parameter '" +
                           name + "'");
    }
}

}  // namespace glitter::renderer
