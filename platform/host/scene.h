// The scene's material library: the materials and maps a stored scene holds at its top level.
// The scene references each of them, so they live as long as it does.
#pragma once

#include <vector>

#include "platform/host/mtl_base.h"

namespace host {

class Scene : public ReferenceMaker {
public:
    Scene() = default;

    /// Adds a material or map; answers its index, or -1 for null or one already present.
    int AddMaterial(MtlBase* mtl);
    /// Drops entry i (deleting the object if nothing else references it).
    void RemoveMaterial(int i);
    /// Drops every entry.
    void Clear();
    int NumMaterials() const { return static_cast<int>(entries_.size()); }
    MtlBase* GetMaterial(int i) const;

    int NumRefs() override { return NumMaterials(); }
    RefTargetHandle GetReference(int i) override;
    bool AcceptsReference(int i, RefTargetHandle target) override;

protected:
    void SetReference(int i, RefTargetHandle target) override;

private:
    std::vector<MtlBase*> entries_;
};

}  // namespace host
