#include "platform/host/standard_texmap.h"

#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/remap_dir.h"

namespace host {

namespace {
constexpr USHORT kMtlBaseChunk = 0x4000;
}  // namespace

void StandardTexmap::makeBlock(ClassDesc2* cd) {
    cd->MakeAutoParamBlocks(this);
    Interval valid = FOREVER;
    Update(0, valid);
}

void StandardTexmap::Update(TimeValue t, Interval& valid) {
    if (!ivalid_.InInterval(t)) {
        ivalid_ = FOREVER;
        if (pblock != nullptr) readParams(t, ivalid_);
    }
    valid &= ivalid_;
}

void StandardTexmap::Reset() {
    ivalid_.SetEmpty();
    classDesc()->Reset(this, true, true);
}

Interval StandardTexmap::Validity(TimeValue t) {
    Interval valid = FOREVER;
    Update(t, valid);
    return valid;
}

IParamBlock2* StandardTexmap::GetParamBlockByID(BlockID id) {
    return pblock != nullptr && pblock->ID() == id ? pblock : nullptr;
}

bool StandardTexmap::AcceptsReference(int i, RefTargetHandle target) {
    if (i != 0) return false;
    auto* block = dynamic_cast<IParamBlock2*>(target);
    return target == nullptr ||
           (block != nullptr && block->GetDesc() != nullptr && block->GetDesc()->cd == classDesc());
}

void StandardTexmap::SetReference(int i, RefTargetHandle target) {
    if (i == 0) pblock = dynamic_cast<IParamBlock2*>(target);
    ivalid_.SetEmpty();
}

RefResult StandardTexmap::NotifyRefChanged(const Interval&, RefTargetHandle, PartID&,
                                           RefMessage message, bool) {
    if (message == REFMSG_CHANGE) ivalid_.SetEmpty();
    return REF_SUCCEED;
}

ReferenceTarget* StandardTexmap::Clone(RemapDir& remap) {
    StandardTexmap* copy = makeEmpty();
    static_cast<MtlBase&>(*copy) = *this;
    BaseClone(this, copy, remap);
    copy->ReplaceReference(0, remap.CloneRef(pblock));
    copy->ivalid_.SetEmpty();
    return copy;
}

IOResult StandardTexmap::Save(ISave* isave) {
    isave->BeginChunk(kMtlBaseChunk);
    const IOResult result = MtlBase::Save(isave);
    if (result != IO_OK) return result;
    isave->EndChunk();
    return isave->Failed() ? IO_ERROR : IO_OK;
}

IOResult StandardTexmap::Load(ILoad* iload) {
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kMtlBaseChunk && MtlBase::Load(iload) != IO_OK) return IO_ERROR;
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    ivalid_.SetEmpty();
    return result == IO_END ? IO_OK : IO_ERROR;
}

}  // namespace host
