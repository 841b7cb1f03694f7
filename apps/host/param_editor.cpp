#include "apps/host/param_editor.h"

#include "apps/host/cli_error.h"
#include "apps/host/param_text.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/module.h"
#include "platform/host/texmap.h"

namespace glitter::hostcli {
namespace {

std::string nameOf(const host::ParamDef& def) { return def.internalName.toUtf8(); }

std::string materialName(host::Mtl& m) {
    host::MSTR className;
    m.GetClassName(className);
    return className.toUtf8();
}

std::string mapText(host::Texmap* map, host::TimeValue t) {
    if (map == nullptr) return "none";
    if (map->ClassID() == host::ConstantTexmap::kClassID && map->GetParamBlock(0) != nullptr) {
        host::IParamBlock2* pb = map->GetParamBlock(0);
        const host::Color c = pb->GetColor(host::ConstantTexmap::kColor, t);
        return "constant:" + formatColor(c) + "," +
               formatFloat(pb->GetFloat(host::ConstantTexmap::kAlpha, t));
    }
    host::MSTR className;
    map->GetClassName(className);
    return className.toUtf8() + " map";
}

}  // namespace

ParamEditor::ParamEditor(host::Mtl& material, host::ClassDesc& classDesc)
    : material_(material), classDesc_(classDesc) {
    for (int b = 0; b < material.NumParamBlocks(); ++b) {
        host::IParamBlock2* block = material.GetParamBlock(b);
        if (block == nullptr || block->GetDesc() == nullptr) continue;
        for (const host::ParamDef& def : block->GetDesc()->params) params_.push_back({block, &def});
    }
}

ParamEditor::Param ParamEditor::find(const std::string& name) const {
    for (const Param& p : params_) {
        if (nameOf(*p.def) == name) return p;
    }
    std::string known;
    for (const Param& p : params_) known += (known.empty() ? "" : ", ") + nameOf(*p.def);
    throw CliError("unknown parameter '" + name + "'; " + materialName(material_) +
                   (known.empty() ? " has no parameters" : " has: " + known));
}

std::vector<std::string> ParamEditor::comboItems(const host::ParamDef& def) const {
    std::vector<std::string> items;
    if (def.type != host::TYPE_INT || !def.ui || def.ui->controlType != host::TYPE_INT_COMBOBOX)
        return items;
    for (int id : def.ui->comboItems) {
        items.push_back(
            MaxSDK::GetResourceStringAsMSTR(classDesc_.HInstance(), static_cast<host::UINT>(id))
                .toUtf8());
    }
    return items;
}

std::string ParamEditor::valueText(const Param& p, host::TimeValue t, host::Interval& valid) const {
    const host::ParamID id = p.def->id;
    host::ParamValueRecord v;
    bool read = false;
    switch (p.def->type) {
        case host::TYPE_FLOAT:
            read = p.block->GetValue(id, t, v.f, valid);
            break;
        case host::TYPE_INT:
        case host::TYPE_BOOL:
            read = p.block->GetValue(id, t, v.i, valid);
            break;
        case host::TYPE_RGBA:
            read = p.block->GetValue(id, t, v.c, valid);
            break;
        case host::TYPE_TEXMAP: {
            host::Texmap* map = nullptr;
            if (!p.block->GetValue(id, t, map, valid)) return "?";
            return mapText(map, t);
        }
    }
    return read ? formatScalar(*p.def, v) : "?";
}

void ParamEditor::apply(const ParamEdit& edit, host::TimeValue time) {
    const Param p = find(edit.name);
    const host::ParamDef& def = *p.def;
    const std::string name = nameOf(def);
    if (edit.kind == ParamEdit::Kind::unkey) {
        if (p.block->NumKeys(def.id) > 0) p.block->DeleteKeys(def.id, time);
        return;
    }
    if (edit.kind == ParamEdit::Kind::key && !def.IsAnimatable()) {
        throw CliError(name + " is not animatable: it cannot have keys (use --set)");
    }
    if (def.type == host::TYPE_TEXMAP) {
        setMap(p, edit.value, time);
        return;
    }
    const host::ParamValueRecord v = parseScalar(def, edit.value, comboItems(def));
    const host::TimeValue t = edit.kind == ParamEdit::Kind::key ? edit.time : time;
    const bool asKey = edit.kind == ParamEdit::Kind::key;
    bool done = false;
    switch (def.type) {
        case host::TYPE_FLOAT:
            done = asKey ? p.block->SetKey(def.id, t, v.f) : p.block->SetValue(def.id, t, v.f);
            break;
        case host::TYPE_INT:
        case host::TYPE_BOOL:
            done = asKey ? p.block->SetKey(def.id, t, v.i) : p.block->SetValue(def.id, t, v.i);
            break;
        case host::TYPE_RGBA:
            done = asKey ? p.block->SetKey(def.id, t, v.c) : p.block->SetValue(def.id, t, v.c);
            break;
        case host::TYPE_TEXMAP:
            break;
    }
    if (!done) {
        // A key at a time the parameter has no key yet is refused once it holds the most keys
        // a block allows (replacing a key never is).
        const int keys = p.block->NumKeys(def.id);
        if ((asKey || keys > 0) && keys >= host::IParamBlock2::kMaxKeys) {
            throw CliError(name + ": no key added at " + std::to_string(t) + ": the parameter has " +
                           std::to_string(keys) + " keys, the limit");
        }
        throw CliError(name + ": the parameter block refused '" + edit.value + "'");
    }
}

void ParamEditor::setMap(const Param& p, const std::string& text, host::TimeValue time) {
    const MapSpec mapValue = parseMapSpec(*p.def, text);
    host::Texmap* map = nullptr;
    if (!mapValue.none) {
        auto* constant = new host::ConstantTexmap();
        host::IParamBlock2* pb = constant->GetParamBlock(0);
        pb->SetValue(host::ConstantTexmap::kColor, 0,
                     host::Color(mapValue.color.r, mapValue.color.g, mapValue.color.b));
        pb->SetValue(host::ConstantTexmap::kAlpha, 0, mapValue.color.a);
        map = constant;
    }
    if (!p.block->SetValue(p.def->id, time, map)) {
        if (map != nullptr) map->MaybeAutoDelete();
        throw CliError(nameOf(*p.def) + ": the parameter block refused the map");
    }
}

}  // namespace glitter::hostcli
