#include "platform/host/scene.h"

#include <algorithm>

namespace host {

int Scene::AddMaterial(MtlBase* mtl) {
    if (mtl == nullptr || std::find(entries_.begin(), entries_.end(), mtl) != entries_.end())
        return -1;
    entries_.push_back(nullptr);
    const int index = NumMaterials() - 1;
    if (ReplaceReference(index, mtl) != REF_SUCCEED) {
        entries_.pop_back();
        return -1;
    }
    return index;
}

void Scene::RemoveMaterial(int i) {
    if (i < 0 || i >= NumMaterials()) return;
    DeleteReference(i);
    entries_.erase(entries_.begin() + i);
}

void Scene::Clear() {
    while (NumMaterials() > 0) RemoveMaterial(NumMaterials() - 1);
}

MtlBase* Scene::GetMaterial(int i) const {
    if (i < 0 || i >= NumMaterials()) return nullptr;
    return entries_[static_cast<std::size_t>(i)];
}

RefTargetHandle Scene::GetReference(int i) { return GetMaterial(i); }

bool Scene::AcceptsReference(int i, RefTargetHandle target) {
    return i >= 0 && i < NumMaterials() &&
           (target == nullptr || dynamic_cast<MtlBase*>(target) != nullptr);
}

void Scene::SetReference(int i, RefTargetHandle target) {
    if (i < 0 || i >= NumMaterials()) return;
    entries_[static_cast<std::size_t>(i)] = dynamic_cast<MtlBase*>(target);
}

}  // namespace host
