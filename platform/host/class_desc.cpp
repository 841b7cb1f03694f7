#include "platform/host/class_desc.h"

#include <algorithm>

namespace host {

ClassDesc::~ClassDesc() {
    for (FPInterface* fp : interfaces_) {
        if (FPInterfaceDesc* desc = fp->GetDesc(); desc != nullptr && desc->cd == this)
            desc->cd = nullptr;
    }
}

const MCHAR* ClassDesc::InternalName() { return ClassName(); }
HINSTANCE ClassDesc::HInstance() { return nullptr; }

FPInterface* ClassDesc::GetInterface(Interface_ID id) {
    for (FPInterface* fp : interfaces_) {
        if (fp->GetID() == id) return fp;
    }
    return nullptr;
}

FPInterface* ClassDesc::GetInterfaceAt(int i) const {
    if (i < 0 || i >= NumInterfaces()) return nullptr;
    return interfaces_[static_cast<std::size_t>(i)];
}

void ClassDesc::AddInterface(FPInterface* fpInterface) {
    if (fpInterface == nullptr) return;
    if (std::find(interfaces_.begin(), interfaces_.end(), fpInterface) == interfaces_.end()) {
        interfaces_.push_back(fpInterface);
    }
}

void ClassDesc::RemoveInterface(FPInterface* fpInterface) {
    interfaces_.erase(std::remove(interfaces_.begin(), interfaces_.end(), fpInterface),
                      interfaces_.end());
}

}  // namespace host
