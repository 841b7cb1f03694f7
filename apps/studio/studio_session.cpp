#include "apps/studio/studio_session.h"

#include <stdlib.h>

#include <system_error>

#include "apps/host/cli_error.h"
#include "apps/host/param_text.h"
#include "apps/renderer/scene_presets.h"
#include "apps/studio/png_bytes.h"
#include "apps/studio/studio_error.h"
#include "platform/host/class_desc2.h"
#include "platform/host/image_list.h"
#include "platform/host/imaterial_browser_entry_info.h"
#include "platform/host/imtl_params.h"
#include "platform/host/imtl_render_compatibility.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/module.h"
#include "platform/host/param_dlg.h"
#include "platform/renderer_host/pb2_template_generator.h"

namespace glitter::studio {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string utf8(const host::MCHAR* text) {
    return text != nullptr ? host::WStr(text).toUtf8() : "";
}

std::string resourceText(host::ClassDesc& cd, int id) {
    if (id == 0) return {};
    return MaxSDK::GetResourceStringAsMSTR(cd.HInstance(), static_cast<host::UINT>(id)).toUtf8();
}

const char* controlKind(const host::ParamUI& ui) {
    switch (ui.controlType) {
        case host::TYPE_SPINNER:
            return "spinner";
        case host::TYPE_SINGLECHEKBOX:
            return "checkbox";
        case host::TYPE_COLORSWATCH:
            return "colour";
        case host::TYPE_TEXMAPBUTTON:
            return "map";
        case host::TYPE_INT_COMBOBOX:
            return "combo";
    }
    return "other";
}

json rangeValue(const host::ParamDef& def, const host::ParamValueRecord& v) {
    switch (def.type) {
        case host::TYPE_FLOAT:
            return v.f;
        case host::TYPE_INT:
        case host::TYPE_BOOL:
            return v.i;
        case host::TYPE_RGBA:
            return json::array({v.c.r, v.c.g, v.c.b});
        case host::TYPE_TEXMAP:
            break;
    }
    return nullptr;
}

hostcli::ParamEdit setEdit(const std::string& name, const std::string& value) {
    hostcli::ParamEdit edit;
    edit.kind = hostcli::ParamEdit::Kind::set;
    edit.name = name;
    edit.value = value;
    return edit;
}

// The label the rollout shows beside a parameter's controls: the label control on their row of
// the dialog template the plug-in's rollouts are generated from.
std::string templateLabel(const host::DLGTEMPLATE* dlg, const host::ParamDef& def) {
    if (dlg == nullptr || def.ui->controlIds.empty()) return {};
    const host::DialogControl* control = dlg->Find(def.ui->controlIds.front());
    if (control == nullptr) return {};
    for (const host::DialogControl& c : dlg->controls) {
        if (c.kind == host::DialogControlKind::label && c.y == control->y) return c.text.toUtf8();
    }
    return {};
}

}  // namespace

// The material's dialog, open for the session's life as in an editor: edits made while it is
// open reach the plug-in's dialog procedure, which enables and disables controls.
class StudioSession::OpenDialog {
  public:
    explicit OpenDialog(host::Mtl& material) {
        dialog_ = material.CreateParamDlg(&editorWindow_, &params_);
        if (dialog_ == nullptr) throw StudioError(500, "the material has no parameter dialog");
    }
    ~OpenDialog() { dialog_->DeleteThis(); }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;

    host::IMtlParams& params() { return params_; }

  private:
    host::HostWindow editorWindow_;
    host::IMtlParams params_;
    host::ParamDlg* dialog_ = nullptr;
};

StudioSession::StudioSession(const std::string& pluginPath, const fs::path& root)
    : root_(fs::canonical(root)), session_(pluginPath) {
    attach(session_.createMaterial(""));
    reset();
}

StudioSession::~StudioSession() { detach(); }

void StudioSession::attach(host::Mtl* material) {
    material_ = material;
    classDesc_ = session_.libraryClassOf(material);
    editor_ = std::make_unique<hostcli::ParamEditor>(*material, *classDesc_);
    dialog_ = std::make_unique<OpenDialog>(*material);
    ++revision_;
}

void StudioSession::detach() {
    dialog_.reset();
    editor_.reset();
    material_ = nullptr;
}

json StudioSession::describe() {
    json entry;
    entry["className"] = utf8(classDesc_->ClassName());
    entry["category"] = utf8(classDesc_->Category());
    if (host::FPInterface* fp =
            classDesc_->GetInterface(host::IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE)) {
        // The interface id is the type: the host hands the interface out as its base.
        entry["category"] =
            utf8(static_cast<host::IMaterialBrowserEntryInfo*>(fp)->GetEntryCategory());
    }
    json rollouts = json::array();
    host::IMtlParams& params = dialog_->params();
    for (int r = 0; r < params.NumRollups(); ++r) {
        host::IParamMap2* map = params.GetRollup(r);
        host::IParamBlock2* block = map->GetParamBlock();
        json controls = json::array();
        std::unique_ptr<host::DLGTEMPLATE, void (*)(host::DLGTEMPLATE*)> dlg(
            KuvoUtils::Pb2TemplateGenerator::GenerateTemplate(map->GetMapID(), block, u"", 0),
            &KuvoUtils::Pb2TemplateGenerator::ReleaseDlgTemplate);
        for (host::ParamID id : map->ShownParams()) {
            const host::ParamDef* def = block != nullptr && block->GetDesc() != nullptr
                                            ? block->GetDesc()->GetParamDefByID(id)
                                            : nullptr;
            if (def == nullptr || !def->ui) continue;
            json c;
            c["name"] = def->internalName.toUtf8();
            c["label"] = def->localNameRes != 0 ? resourceText(*classDesc_, def->localNameRes)
                                                : templateLabel(dlg.get(), *def);
            c["tooltip"] = resourceText(*classDesc_, def->tooltip);
            c["type"] = hostcli::typeName(def->type);
            c["control"] = controlKind(*def->ui);
            c["integer"] = def->ui->editType == host::EDITTYPE_INT || def->type == host::TYPE_INT;
            if (def->hasRange) {
                c["low"] = rangeValue(*def, def->rangeLow);
                c["high"] = rangeValue(*def, def->rangeHigh);
            }
            c["step"] = def->ui->spinnerScale == host::SPIN_AUTOSCALE ? json(nullptr)
                                                                      : json(def->ui->spinnerScale);
            c["items"] = editor_->comboItems(*def);
            controls.push_back(std::move(c));
        }
        rollouts.push_back({{"title", map->GetTitle().toUtf8()},
                            {"open", map->IsRollupOpen()},
                            {"controls", std::move(controls)}});
    }
    return {{"entry", entry}, {"rollouts", rollouts}, {"state", state()}};
}

json StudioSession::state() {
    json values = json::object();
    for (const hostcli::ParamEditor::Param& p : editor_->params()) {
        host::Interval valid = host::FOREVER;
        values[p.def->internalName.toUtf8()] = editor_->valueText(p, 0, valid);
    }
    json enabled = json::object();
    host::IMtlParams& params = dialog_->params();
    for (int r = 0; r < params.NumRollups(); ++r) {
        host::IParamMap2* map = params.GetRollup(r);
        host::IParamBlock2* block = map->GetParamBlock();
        for (host::ParamID id : map->ShownParams()) {
            const host::ParamDef* def = block != nullptr && block->GetDesc() != nullptr
                                            ? block->GetDesc()->GetParamDefByID(id)
                                            : nullptr;
            if (def != nullptr) enabled[def->internalName.toUtf8()] = map->IsEnabled(id);
        }
    }
    return {{"revision", revision_}, {"values", values}, {"enabled", enabled}};
}

std::string StudioSession::iconPng(int which) {
    host::IMtlRender_Compatibility_MtlBase* compat =
        host::Get_IMtlRender_Compability_MtlBase(*classDesc_);
    host::HIMAGELIST list = nullptr;
    int index[3] = {-1, -1, -1};
    if (which < 0 || which > 2 || compat == nullptr ||
        !compat->GetCustomMtlBrowserIcon(list, index[0], index[1], index[2]) || list == nullptr ||
        index[which] < 0 || index[which] >= host::ImageList_GetImageCount(list)) {
        throw StudioError(404, "the material has no such browser icon");
    }
    const host::ImageList::Image& image = list->images[static_cast<std::size_t>(index[which])];
    const int w = image.color.width, h = image.color.height;
    const std::size_t n = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (image.color.bitsPerPixel != 24 || image.color.pixels.size() < 3 * n) {
        throw StudioError(500, "the browser icon is not a 24-bit bitmap");
    }
    const bool masked = image.mask.pixels.size() >= n;
    std::vector<std::uint8_t> rgba(4 * n);
    for (std::size_t i = 0; i < n; ++i) {
        // Bitmaps hold BGR; a mask of 1 lets the background through.
        rgba[4 * i] = image.color.pixels[3 * i + 2];
        rgba[4 * i + 1] = image.color.pixels[3 * i + 1];
        rgba[4 * i + 2] = image.color.pixels[3 * i];
        rgba[4 * i + 3] = masked && image.mask.pixels[i] != 0 ? 0 : 255;
    }
    return encodePngRgba(w, h, rgba);
}

void StudioSession::set(const std::string& name, const std::string& value) {
    try {
        editor_->apply(setEdit(name, value), 0);
    } catch (const hostcli::CliError& e) {
        throw StudioError(400, e.what());
    }
    ++revision_;
}

void StudioSession::reset() {
    for (int b = 0; b < material_->NumParamBlocks(); ++b) {
        if (host::IParamBlock2* block = material_->GetParamBlock(b)) block->ResetAll();
    }
    // What glitter_render gives a new material in the default scene, so the preview renders in
    // seconds and matches the program's picture of a new material.
    for (const renderer::ParameterSetting& s : renderer::defaultSceneChoices().materialSettings) {
        editor_->apply(setEdit(s.name, s.value), 0);
    }
    ++revision_;
}

fs::path StudioSession::resolve(const std::string& relative, bool mustExist) const {
    if (relative.empty() || relative.size() > 1024 || relative.find('\0') != std::string::npos) {
        throw StudioError(400, "a file name of 1 to 1024 characters is needed");
    }
    const fs::path asked(relative);
    if (asked.is_absolute()) {
        throw StudioError(403, "'" + relative + "': only files under the studio's folder");
    }
    std::error_code ec;
    // Resolves "..", "." and every symbolic link that exists, so what is checked is where the
    // file really is.
    const fs::path real = fs::weakly_canonical(root_ / asked, ec);
    const fs::path inside = real.lexically_relative(root_);
    if (ec || inside.empty() || *inside.begin() == ".." || inside == ".") {
        throw StudioError(403, "'" + relative + "' lies outside the studio's folder");
    }
    if (mustExist && !fs::is_regular_file(real, ec)) {
        throw StudioError(404, "'" + relative + "' is no file");
    }
    if (!mustExist && !fs::is_directory(real.parent_path(), ec)) {
        throw StudioError(404, "'" + relative + "': no such folder");
    }
    return real;
}

void StudioSession::open(const std::string& relative) {
    const fs::path path = resolve(relative, true);
    char folder[] = "/tmp/glitter-studio-open-XXXXXX";
    if (mkdtemp(folder) == nullptr) throw StudioError(500, "cannot make a temporary folder");
    const fs::path backup = fs::path(folder) / "backup.scene";
    std::error_code ec;
    try {
        session_.saveScene(backup.string());
        detach();
        try {
            session_.loadScene(path.string());
            attach(session_.findMaterial(""));
        } catch (const std::exception& e) {
            const unsigned unchanged = revision_;
            session_.loadScene(backup.string());
            attach(session_.findMaterial(""));
            revision_ = unchanged;
            throw StudioError(422, e.what());
        }
    } catch (...) {
        fs::remove_all(folder, ec);
        throw;
    }
    fs::remove_all(folder, ec);
}

void StudioSession::save(const std::string& relative) {
    const fs::path path = resolve(relative, false);
    try {
        session_.saveScene(path.string());
    } catch (const hostcli::CliError& e) {
        throw StudioError(500, e.what());
    }
}

void StudioSession::snapshot(const std::string& path) { session_.saveScene(path); }

}  // namespace glitter::studio
