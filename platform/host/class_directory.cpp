#include "platform/host/class_directory.h"

#include <algorithm>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/iparam_block2.h"

namespace host {

ClassDirectory::ClassDirectory() {
    Add(GetParamBlock2ClassDesc());
    Add(GetConstantTexmapDesc());
    Add(GetCheckerTexmapDesc());
}

bool ClassDirectory::Add(ClassDesc* cd) {
    if (cd == nullptr || Find(cd->SuperClassID(), cd->ClassID()) != nullptr) return false;
    classes_.push_back(cd);
    return true;
}

void ClassDirectory::Remove(ClassDesc* cd) {
    classes_.erase(std::remove(classes_.begin(), classes_.end(), cd), classes_.end());
}

ClassDesc* ClassDirectory::Find(SClass_ID superClassId, Class_ID classId) const {
    for (ClassDesc* cd : classes_) {
        if (cd->SuperClassID() == superClassId && cd->ClassID() == classId) return cd;
    }
    return nullptr;
}

ClassDesc* ClassDirectory::Get(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return classes_[static_cast<std::size_t>(i)];
}

}  // namespace host
