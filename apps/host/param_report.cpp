#include "apps/host/param_report.h"

#include "apps/host/class_report.h"
#include "apps/host/param_text.h"
#include "apps/host/text_table.h"

namespace glitter::hostcli {
namespace {

std::string keysText(const ParamEditor& editor, const ParamEditor::Param& p) {
    std::string text;
    const int count = p.block->NumKeys(p.def->id);
    for (int k = 0; k < count; ++k) {
        const host::TimeValue kt = p.block->GetKeyTime(p.def->id, k);
        host::Interval ignored = host::FOREVER;
        text += (k > 0 ? " @" : "@") + std::to_string(kt) + "=" + editor.valueText(p, kt, ignored);
    }
    return text;
}

}  // namespace

std::string materialTitle(host::Mtl& material) {
    host::MSTR className;
    material.GetClassName(className);
    return "Material \"" + material.GetName().toUtf8() + "\" (" + className.toUtf8() + ")";
}

void printParams(host::Mtl& material, const ParamEditor& editor, host::TimeValue t,
                 const std::vector<std::string>& only, std::ostream& out) {
    std::vector<ParamEditor::Param> params;
    if (only.empty()) {
        params = editor.params();
    } else {
        for (const std::string& name : only) params.push_back(editor.find(name));
    }
    out << materialTitle(material) << ", class id " << formatClassId(material.ClassID()) << '\n';
    out << "At time " << t << "; the material's values hold "
        << formatInterval(material.Validity(t)) << "\n\n";

    const std::string validHeader = "valid at " + std::to_string(t);
    TextTable table;
    table.addRow({"parameter", "id", "type", "value", "range", validHeader, "keys"});
    const host::IParamBlock2* lastBlock = nullptr;
    for (const ParamEditor::Param& p : params) {
        if (p.block != lastBlock && lastBlock != nullptr) table.addRow({});
        lastBlock = p.block;
        host::Interval valid = host::FOREVER;
        std::string value = editor.valueText(p, t, valid);
        const std::vector<std::string> items = editor.comboItems(*p.def);
        if (p.def->type == host::TYPE_INT && !items.empty()) {
            const int index = p.block->GetInt(p.def->id, t);
            if (index >= 0 && static_cast<std::size_t>(index) < items.size()) {
                value += " (" + items[static_cast<std::size_t>(index)] + ")";
            }
        }
        table.addRow({p.def->internalName.toUtf8(), std::to_string(p.def->id),
                      typeName(p.def->type), value, formatRange(*p.def), formatInterval(valid),
                      keysText(editor, p)});
    }
    table.print(out);
}

}  // namespace glitter::hostcli
