#include "apps/host/rollout_report.h"

#include "apps/host/cli_error.h"
#include "apps/host/param_report.h"
#include "apps/host/text_table.h"
#include "platform/host/imtl_params.h"
#include "platform/host/iparam_map2.h"
#include "platform/host/param_dlg.h"

namespace glitter::hostcli {
namespace {

// The dialog lives until the editor deletes it, also when an edit is refused half-way.
class OpenDialog {
  public:
    OpenDialog(host::Mtl& material, host::TimeValue t) {
        params_.SetTime(t);
        dialog_ = material.CreateParamDlg(&editorWindow_, &params_);
        if (dialog_ == nullptr) throw CliError("the material has no parameter dialog");
    }
    ~OpenDialog() { dialog_->DeleteThis(); }
    OpenDialog(const OpenDialog&) = delete;
    OpenDialog& operator=(const OpenDialog&) = delete;

    const host::IMtlParams& params() const { return params_; }

  private:
    host::HostWindow editorWindow_;
    host::IMtlParams params_;
    host::ParamDlg* dialog_ = nullptr;
};

std::string controlText(const host::ParamUI& ui) {
    switch (ui.controlType) {
        case host::TYPE_SPINNER:
            return ui.editType == host::EDITTYPE_INT ? "int spinner" : "float spinner";
        case host::TYPE_SINGLECHEKBOX:
            return "check box";
        case host::TYPE_COLORSWATCH:
            return "colour swatch";
        case host::TYPE_TEXMAPBUTTON:
            return "map button";
        case host::TYPE_INT_COMBOBOX:
            return "combo box";
    }
    return "control " + std::to_string(static_cast<int>(ui.controlType));
}

std::string idsText(const host::ParamUI& ui) {
    std::string text;
    for (int id : ui.controlIds) text += (text.empty() ? "" : ", ") + std::to_string(id);
    return text;
}

}  // namespace

void printRollouts(host::Mtl& material, ParamEditor& editor, const std::vector<ParamEdit>& edits,
                   host::TimeValue t, std::ostream& out) {
    OpenDialog dialog(material, t);
    for (const ParamEdit& edit : edits) editor.apply(edit, t);

    const host::IMtlParams& params = dialog.params();
    out << materialTitle(material) << ": " << params.NumRollups() << " rollouts\n";
    for (int r = 0; r < params.NumRollups(); ++r) {
        host::IParamMap2* map = params.GetRollup(r);
        host::IParamBlock2* block = map->GetParamBlock();
        out << "\nRollout \"" << map->GetTitle().toUtf8() << "\" (map " << map->GetMapID() << ", "
            << (map->IsRollupOpen() ? "open" : "closed") << ")\n";
        TextTable table;
        table.addRow({"parameter", "control", "ids", "state"});
        for (host::ParamID id : map->ShownParams()) {
            const host::ParamDef* def = block != nullptr && block->GetDesc() != nullptr
                                            ? block->GetDesc()->GetParamDefByID(id)
                                            : nullptr;
            if (def == nullptr) continue;
            table.addRow({def->internalName.toUtf8(), def->ui ? controlText(*def->ui) : "-",
                          def->ui ? idsText(*def->ui) : "-",
                          map->IsEnabled(id) ? "enabled" : "disabled"});
        }
        table.print(out, "  ");
    }

    std::string hidden;
    for (const ParamEditor::Param& p : editor.params()) {
        bool shown = false;
        for (int r = 0; r < params.NumRollups() && !shown; ++r) {
            const host::IParamMap2* map = params.GetRollup(r);
            shown = map->GetParamBlock() == p.block && map->HasControls(p.def->id);
        }
        if (!shown) hidden += (hidden.empty() ? "" : ", ") + p.def->internalName.toUtf8();
    }
    if (!hidden.empty()) out << "\nIn no rollout: " << hidden << '\n';
}

}  // namespace glitter::hostcli
