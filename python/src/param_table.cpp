#include "python/src/param_table.h"

#include <cmath>
#include <stdexcept>

#include "platform/host/param_block_desc2.h"
#include "platform/host/wstr.h"
#include "plugin/control_id_counter.h"
#include "plugin/stochastic_flakes_params.h"

namespace glitter::python {

namespace {

std::string narrow(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += c < 0x80 ? char(c) : '?';  // internal names are ASCII
    return out;
}

ParamInfo describe(const host::ParamDef& def) {
    ParamInfo info{narrow(std::u16string(def.internalName.data())), ParamKind::floatValue,
                   {0.0, 0.0, 0.0}, def.hasRange, 0.0, 0.0};
    auto put = [&](const host::ParamValueRecord& r, double* out, int channels) {
        if (info.kind == ParamKind::color) {
            out[0] = r.c.r;
            if (channels == 3) {
                out[1] = r.c.g;
                out[2] = r.c.b;
            }
        } else if (info.kind == ParamKind::floatValue) {
            out[0] = r.f;
        } else {
            out[0] = r.i;
        }
    };
    switch (def.type) {
        case host::TYPE_FLOAT: info.kind = ParamKind::floatValue; break;
        case host::TYPE_INT: info.kind = ParamKind::intValue; break;
        case host::TYPE_BOOL: info.kind = ParamKind::boolValue; break;
        case host::TYPE_RGBA: info.kind = ParamKind::color; break;
        case host::TYPE_TEXMAP: info.kind = ParamKind::map; break;
    }
    put(def.defaultValue, info.defaultValue, 3);
    if (info.kind == ParamKind::boolValue) {
        info.hasRange = true;
        info.low = 0.0;
        info.high = 1.0;
    } else if (def.hasRange) {
        put(def.rangeLow, &info.low, 1);
        put(def.rangeHigh, &info.high, 1);
    }
    return info;
}

}  // namespace

const std::vector<ParamInfo>& parameterTable() {
    static const std::vector<ParamInfo> table = [] {
        // A description of its own (no owner, a private control id counter): reading it must not
        // register anything with the plug-in's class descriptor.
        ControlIdCounter counter;
        const host::ParamBlockDesc2 desc = makeStochasticFlakesParamBlockDesc(nullptr, counter);
        std::vector<ParamInfo> out;
        for (int i = 0; i < desc.Count(); ++i) out.push_back(describe(desc.GetParamDef(i)));
        return out;
    }();
    return table;
}

namespace {

const ParamInfo& findParam(const std::string& name) {
    for (const ParamInfo& p : parameterTable()) {
        if (p.name == name) return p;
    }
    throw std::invalid_argument("unknown material parameter '" + name + "'");
}

void check(const ParamInfo& p, double v) {
    if (std::isnan(v)) throw std::invalid_argument(p.name + " is NaN");
    if (p.kind == ParamKind::intValue || p.kind == ParamKind::boolValue) {
        if (v != std::floor(v)) {
            throw std::invalid_argument(p.name + " takes an integer, not " + std::to_string(v));
        }
    }
    if (p.hasRange && !(v >= p.low && v <= p.high)) {
        throw std::invalid_argument(p.name + " = " + std::to_string(v) + " is outside [" +
                                    std::to_string(p.low) + ", " + std::to_string(p.high) + "]");
    }
}

}  // namespace

CachedParameterValues cachedValues(const std::vector<ParamValue>& values) {
    // Start from the description's defaults, not the cache's initialisers.
    std::vector<ParamValue> all;
    for (const ParamInfo& p : parameterTable()) {
        all.push_back({p.name, {p.defaultValue[0], p.defaultValue[1], p.defaultValue[2]}});
    }
    for (const ParamValue& v : values) {
        const ParamInfo& p = findParam(v.name);
        if (p.kind == ParamKind::map) {
            if (v.value[0] != 0.0) {
                throw std::invalid_argument(
                    "reflection maps are evaluated only by render(); evaluate and sample take "
                    "reflection_map=None");
            }
        }
        const int channels = p.kind == ParamKind::color ? 3 : 1;
        for (int c = 0; c < channels; ++c) check(p, v.value[c]);
        for (ParamValue& a : all) {
            if (a.name == v.name) a = v;
        }
    }

    CachedParameterValues c;
    for (const ParamValue& a : all) {
        const std::string& n = a.name;
        const double x = a.value[0];
        const auto i = static_cast<int32_t>(x);  // checked integral and in range above
        const auto f = static_cast<float>(x);
        if (n == "hilight_glossiness") c.hilight_glossiness = f;
        else if (n == "reflection_filter")
            c.reflection_filter = KuvoUtils::Color(f, float(a.value[1]), float(a.value[2]));
        else if (n == "reflection_map") c.reflection_map = nullptr;
        else if (n == "reflection_map_on") c.reflection_map_on = i;
        // The block holds percent; the cache the fraction, as the material's update makes it.
        else if (n == "reflection_map_mult") c.reflection_map_mult = f * 0.01f;
        else if (n == "subdivs") c.subdivs = i;
        else if (n == "num_flakes") c.num_flakes = i;
        else if (n == "blur_angle") c.blur_angle = f;
        else if (n == "flake_scale") c.flake_scale = f;
        else if (n == "enable_flakes") c.enable_flakes = i;
        else if (n == "enable_flakes_in_mtl_editor") c.enable_flakes_in_mtl_editor = i;
        else if (n == "texture_subdivs") c.texture_subdivs = i;
        else if (n == "mapping_type") c.mapping_type = i;
        else if (n == "map_channel") c.map_channel = i;
        else if (n == "random_hue") c.random_hue = i;
        else if (n == "random_saturation") c.random_saturation = i;
        else if (n == "saturation") c.saturation = f;
        else if (n == "random_lightness") c.random_lightness = i;
        else if (n == "lightness") c.lightness = f;
        else if (n == "blend_min") c.blend_min = f;
        else if (n == "blend_max") c.blend_max = f;
        else throw std::logic_error("parameter " + n + " has no cached value");
    }
    return c;
}

FlakeParams renderFlakeParams(const CachedParameterValues& c) {
    FlakeParams p{};
    p.init(c.num_flakes, FlakeParams::roughnessFromGlossiness(c.hilight_glossiness),
           FlakeParams::blurAngleRadians(c.blur_angle), c.texture_subdivs, c.random_saturation,
           c.saturation, c.random_lightness, c.lightness, c.blend_min, c.blend_max);
    return p;
}

}  // namespace glitter::python
