#include "platform/renderer_host/pb2_template_generator.h"

#include <algorithm>

#include "platform/host/class_desc2.h"
#include "platform/host/module.h"

namespace KuvoUtils {

using namespace host;

namespace {

// Layout in dialog units: a label column, then the controls in a column of fixed width on the
// right, one row per parameter.
constexpr int kMargin = 4;
constexpr int kRowPitch = 14;
constexpr int kRowHeight = 10;
constexpr int kControlColumn = 104;
constexpr int kEditWidth = 44;
constexpr int kSpinnerWidth = 8;
constexpr int kCheckBoxWidth = 10;
constexpr int kSwatchWidth = 40;
constexpr int kButtonWidth = 100;

// "reflection_map_on" -> "Reflection map on:".
WStr labelText(const ParamDef& def) {
    std::u16string text = def.internalName.str();
    std::replace(text.begin(), text.end(), u'_', u' ');
    if (!text.empty() && text[0] >= u'a' && text[0] <= u'z') text[0] = static_cast<char16_t>(text[0] - u'a' + u'A');
    text += u':';
    return WStr(std::move(text));
}

WStr comboItems(const ParamUI& ui, HINSTANCE module) {
    std::u16string items;
    for (std::size_t i = 0; i < ui.comboItems.size(); ++i) {
        if (i > 0) items += u'\n';
        items += MaxSDK::GetResourceStringAsMSTR(module, static_cast<UINT>(ui.comboItems[i])).str();
    }
    return WStr(std::move(items));
}

void addControls(DLGTEMPLATE& dlg, const ParamDef& def, HINSTANCE module, int x, int y) {
    const ParamUI& ui = *def.ui;
    auto add = [&](int id, DialogControlKind kind, int cx, WStr text = WStr()) {
        dlg.controls.push_back({id, kind, std::move(text), x, y, cx, kRowHeight});
        x += cx + 1;
    };
    const int first = ui.controlIds.empty() ? 0 : ui.controlIds[0];
    switch (ui.controlType) {
        case TYPE_SPINNER:
            add(first, DialogControlKind::editBox, kEditWidth);
            if (ui.controlIds.size() > 1) add(ui.controlIds[1], DialogControlKind::spinner, kSpinnerWidth);
            break;
        case TYPE_SINGLECHEKBOX:
            add(first, DialogControlKind::checkBox, kCheckBoxWidth);
            break;
        case TYPE_COLORSWATCH:
            add(first, DialogControlKind::colorSwatch, kSwatchWidth);
            break;
        case TYPE_TEXMAPBUTTON:
            add(first, DialogControlKind::mapButton, kButtonWidth);
            break;
        case TYPE_INT_COMBOBOX:
            add(first, DialogControlKind::comboBox, kButtonWidth, comboItems(ui, module));
            break;
    }
}

}  // namespace

DLGTEMPLATE* Pb2TemplateGenerator::GenerateTemplate(MapID mapId, IParamBlock2* pb, const MCHAR* caption, int width) {
    if (pb == nullptr || pb->GetDesc() == nullptr) return nullptr;
    const ParamBlockDesc2& desc = *pb->GetDesc();
    if (desc.GetRollout(mapId) == nullptr) return nullptr;
    const HINSTANCE module = desc.cd != nullptr ? desc.cd->HInstance() : nullptr;

    auto* dlg = new DLGTEMPLATE();
    dlg->caption = WStr(caption);
    dlg->width = std::max(width, kMinWidth);
    const int controlX = dlg->width - kMargin - kControlColumn;
    int y = kMargin;
    for (const ParamDef& def : desc.params) {
        if (!def.ui || def.ui->mapId != mapId) continue;
        dlg->controls.push_back({0, DialogControlKind::label, labelText(def), kMargin, y,
                                 controlX - 2 * kMargin, kRowHeight});
        addControls(*dlg, def, module, controlX, y);
        y += kRowPitch;
    }
    dlg->height = y + kMargin;
    return dlg;
}

void Pb2TemplateGenerator::ReleaseDlgTemplate(DLGTEMPLATE* dlgTemplate) { delete dlgTemplate; }

}  // namespace KuvoUtils
