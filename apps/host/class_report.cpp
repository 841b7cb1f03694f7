#include "apps/host/class_report.h"

#include <cstdio>

#include "apps/host/renderer_class_desc.h"
#include "apps/host/text_table.h"
#include "platform/host/class_desc2.h"
#include "platform/host/imaterial_browser_entry_info.h"
#include "platform/host/imtl_render_compatibility.h"

namespace glitter::hostcli {
namespace {

std::string hex(host::ULONG v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(v));
    return text;
}

std::string utf8(const host::MCHAR* text) { return host::WStr(text).toUtf8(); }

std::string superClassText(host::SClass_ID id) {
    switch (id) {
        case host::MATERIAL_CLASS_ID:
            return hex(id) + " (material)";
        case host::TEXMAP_CLASS_ID:
            return hex(id) + " (map)";
        case host::RENDERER_CLASS_ID:
            return hex(id) + " (renderer)";
        case host::PARAMETER_BLOCK2_CLASS_ID:
            return hex(id) + " (parameter block)";
        case host::REF_TARGET_CLASS_ID:
            return hex(id) + " (reference target)";
        default:
            return hex(id);
    }
}

std::string browserCategory(host::ClassDesc& cd) {
    host::FPInterface* fp = cd.GetInterface(host::IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE);
    if (fp == nullptr) return "(no browser entry: listed by its class category)";
    // The interface id is the type: the host hands the interface out as its FPInterface base.
    auto* entry = static_cast<host::IMaterialBrowserEntryInfo*>(fp);
    std::string text = "\"" + utf8(entry->GetEntryCategory()) + "\"";
    if (entry->IsEntryHidden()) text += ", hidden";
    if (const host::MCHAR* name = entry->GetEntryName(); name != nullptr)
        text += ", listed as \"" + utf8(name) + "\"";
    return text;
}

std::string browserIcons(host::IMtlRender_Compatibility_MtlBase* compat) {
    host::HIMAGELIST list = nullptr;
    int inactive = -1, active = -1, disabled = -1;
    if (compat == nullptr || !compat->GetCustomMtlBrowserIcon(list, inactive, active, disabled) ||
        list == nullptr) {
        return "(the host's own)";
    }
    return std::to_string(host::ImageList_GetImageCount(list)) + " images of " +
           std::to_string(list->width) + "x" + std::to_string(list->height) + " (inactive " +
           std::to_string(inactive) + ", active " + std::to_string(active) + ", disabled " +
           std::to_string(disabled) + ")";
}

std::string rendererText(host::IMtlRender_Compatibility_MtlBase* compat) {
    if (compat == nullptr) return "any (the class names no compatibility interface)";
    std::string text;
    for (RendererClassDesc* renderer :
         {&RendererClassDesc::production(), &RendererClassDesc::scanline()}) {
        if (!text.empty()) text += "; ";
        text += utf8(renderer->ClassName()) + ": " +
                (compat->IsCompatibleWithRenderer(*renderer) ? "compatible" : "not compatible");
    }
    return text;
}

std::string blocksText(host::ClassDesc& cd) {
    // Only a ClassDesc2 owns block descriptions; the host's type query is its super class, so
    // ask C++ here.
    auto* cd2 = dynamic_cast<host::ClassDesc2*>(&cd);
    if (cd2 == nullptr || cd2->NumParamBlockDescs() == 0) return "none";
    std::string text;
    for (int i = 0; i < cd2->NumParamBlockDescs(); ++i) {
        const host::ParamBlockDesc2* pbd = cd2->GetParamBlockDesc(i);
        if (!text.empty()) text += "; ";
        text += "\"" + pbd->internalName.toUtf8() + "\" (id " + std::to_string(pbd->id) +
                "): " + std::to_string(pbd->Count()) + " parameters, " +
                std::to_string(pbd->rollouts.size()) + " rollouts";
    }
    return text;
}

}  // namespace

std::string formatClassId(const host::Class_ID& id) {
    char text[32];
    std::snprintf(text, sizeof text, "(0x%08x, 0x%08x)", static_cast<unsigned>(id.PartA()),
                  static_cast<unsigned>(id.PartB()));
    return text;
}

void printClasses(const pluginloader::PluginLibrary& library, std::ostream& out) {
    out << "Library      " << library.path() << '\n'
        << "Description  " << library.description() << '\n'
        << "Version      " << pluginloader::formatVersion(library.version()) << '\n'
        << "Classes      " << library.classes().size() << '\n';
    for (host::ClassDesc* cd : library.classes()) {
        TextTable table;
        table.addRow({"class id", formatClassId(cd->ClassID())});
        table.addRow({"super class", superClassText(cd->SuperClassID())});
        table.addRow({"category", "\"" + utf8(cd->Category()) + "\""});
        table.addRow({"internal name", utf8(cd->InternalName())});
        table.addRow({"public", cd->IsPublic() != 0 ? "yes" : "no"});
        const host::SClass_ID super = cd->SuperClassID();
        if (super == host::MATERIAL_CLASS_ID || super == host::TEXMAP_CLASS_ID) {
            host::IMtlRender_Compatibility_MtlBase* compat =
                host::Get_IMtlRender_Compability_MtlBase(*cd);
            table.addRow({"browser category", browserCategory(*cd)});
            table.addRow({"browser icons", browserIcons(compat)});
            table.addRow({"renderers", rendererText(compat)});
        }
        table.addRow({"parameter blocks", blocksText(*cd)});
        out << '\n' << utf8(cd->ClassName()) << '\n';
        table.print(out, "  ");
    }
}

}  // namespace glitter::hostcli
