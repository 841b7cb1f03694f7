// A class descriptor that owns parameter block descriptions: it builds a new object's blocks,
// resets them to their defaults and refreshes the editor's controls.
#pragma once

#include <vector>

#include "platform/host/class_desc.h"
#include "platform/host/param_block_desc2.h"

namespace host {

class IParamBlock2;
class ReferenceMaker;

class ClassDesc2 : public ClassDesc {
public:
    ClassDesc2() = default;
    /// Detaches the block descriptions still registered.
    ~ClassDesc2() override;

    /// Called by a description whose owner this is; each description is held once.
    void AddParamBlockDesc(ParamBlockDesc2* pbd);
    void RemoveParamBlockDesc(ParamBlockDesc2* pbd);
    int NumParamBlockDescs() const { return static_cast<int>(descs_.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) const;
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id) const;

    /// For each description with P_AUTO_CONSTRUCT, builds a block with the defaults and makes
    /// it reference `refNo` of `owner`.
    virtual void MakeAutoParamBlocks(ReferenceMaker* owner);
    /// Puts every parameter of each of `owner`'s blocks (found by block id) back to its default
    /// and removes its keys.
    virtual void Reset(ReferenceTarget* owner, bool updateUI = true, bool callSetHandlers = true);
    /// Asks the open editors to redraw the controls of parameter `id` (all of `pbd` for -1).
    /// The headless host counts the requests.
    virtual void InvalidateUI(ParamBlockDesc2* pbd, ParamID id = -1, int tabIndex = -1);

    /// Requests InvalidateUI received, and the last one's parameter id.
    int UIInvalidations() const { return uiInvalidations_; }
    ParamID LastInvalidatedParam() const { return lastInvalidated_; }

private:
    std::vector<ParamBlockDesc2*> descs_;
    int uiInvalidations_ = 0;
    ParamID lastInvalidated_ = -1;
};

}  // namespace host
