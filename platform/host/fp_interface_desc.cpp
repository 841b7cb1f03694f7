#include "platform/host/fp_interface_desc.h"

#include <stdexcept>

#include "platform/host/class_desc.h"

namespace host {

Interface_ID BaseInterface::GetID() { return Interface_ID(0, 0); }
FPInterfaceDesc* FPInterface::GetDesc() { return nullptr; }

FPInterfaceDesc::~FPInterfaceDesc() {
    if (cd != nullptr) cd->RemoveInterface(this);
}

void FPInterfaceDesc::loadDescriptor(Interface_ID id, const char16_t* name, StringResID description,
                                     ClassDesc* owner, ULONG interfaceFlags,
                                     const ParamArgList& functions) {
    const std::string label = "FPInterfaceDesc \"" + WStr(name).toUtf8() + "\": ";
    if (functions.empty() || !std::holds_alternative<ParamTag>(functions.front()) ||
        std::get<ParamTag>(functions.front()) != p_end) {
        throw std::invalid_argument(
            label + "this host publishes no functions; the list must be p_end alone");
    }
    if (functions.size() > 1)
        throw std::invalid_argument(label + "arguments follow the closing p_end");
    if (cd != nullptr) cd->RemoveInterface(this);
    ID = id;
    internalName = WStr(name);
    descriptionRes = description;
    flags = interfaceFlags;
    cd = owner;
    if (cd != nullptr) cd->AddInterface(this);
}

}  // namespace host
