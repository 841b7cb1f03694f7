// Shared plumbing of the host's own maps: one parameter block as reference 0, a validity
// interval for the values cached by Update, and chunk 0x4000 around the MtlBase data.
// EvalColor reads the cache: call Update(t) before evaluating at t.
#pragma once

#include "platform/host/class_desc2.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/texmap.h"

namespace host {

class StandardTexmap : public Texmap {
public:
    void Update(TimeValue t, Interval& valid) override;
    void Reset() override;
    Interval Validity(TimeValue t) override;

    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override { return i == 0 ? pblock : nullptr; }
    MSTR SubAnimName(int i) override { return i == 0 ? MSTR(u"Parameters") : MSTR(); }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? pblock : nullptr; }
    IParamBlock2* GetParamBlockByID(BlockID id) override;

    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override { return i == 0 ? pblock : nullptr; }
    bool AcceptsReference(int i, RefTargetHandle target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, bool propagate) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    IParamBlock2* pblock = nullptr;

protected:
    /// Builds the block through `cd`; derived constructors call it.
    void makeBlock(ClassDesc2* cd);
    void SetReference(int i, RefTargetHandle target) override;
    /// Reads the block at t into the cache, narrowing `valid`.
    virtual void readParams(TimeValue t, Interval& valid) = 0;
    /// A new map of the same class with a default block.
    virtual StandardTexmap* makeEmpty() = 0;
    virtual ClassDesc2* classDesc() = 0;

private:
    Interval ivalid_;
};

}  // namespace host
