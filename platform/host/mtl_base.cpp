#include "platform/host/mtl_base.h"

#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/texmap.h"

namespace host {

namespace {
constexpr USHORT kNameChunk = 0x0100;
constexpr USHORT kGBufIdChunk = 0x0101;
constexpr USHORT kFlagsChunk = 0x0102;
}  // namespace

Texmap* ISubMap::GetSubTexmap(int) { return nullptr; }
void ISubMap::SetSubTexmap(int, Texmap*) {}
int ISubMap::SubTexmapOn(int) { return 1; }
MSTR ISubMap::GetSubTexmapSlotName(int) { return MSTR(); }
bool ISubMap::SetDlgThing(ParamDlg*) { return false; }

MtlBase& MtlBase::operator=(const MtlBase& other) {
    name_ = other.name_;
    gbufId_ = other.gbufId_;
    mtlFlags_ = other.mtlFlags_;
    return *this;
}

void MtlBase::Update(TimeValue, Interval&) {}
void MtlBase::Reset() {}
Interval MtlBase::Validity(TimeValue) { return FOREVER; }
ParamDlg* MtlBase::CreateParamDlg(HWND, IMtlParams*) { return nullptr; }
ULONG MtlBase::LocalRequirements(int) { return 0; }

ULONG MtlBase::Requirements(int subMtlNum) {
    ULONG requirements = LocalRequirements(subMtlNum);
    for (int i = 0; i < NumSubTexmaps(); ++i) {
        if (Texmap* map = GetSubTexmap(i); map != nullptr && SubTexmapOn(i) != 0) {
            requirements |= map->Requirements(subMtlNum);
        }
    }
    return requirements;
}

IOResult MtlBase::Save(ISave* isave) {
    isave->BeginChunk(kNameChunk);
    isave->WriteWString(name_);
    isave->EndChunk();
    isave->BeginChunk(kGBufIdChunk);
    isave->WriteI32(gbufId_);
    isave->EndChunk();
    isave->BeginChunk(kFlagsChunk);
    isave->WriteU32(mtlFlags_);
    isave->EndChunk();
    return isave->Failed() ? IO_ERROR : IO_OK;
}

IOResult MtlBase::Load(ILoad* iload) {
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        switch (iload->CurChunkID()) {
            case kNameChunk: {
                WStr name;
                if (iload->ReadWStringRest(name) != IO_OK) return IO_ERROR;
                if (name.view().find(u'\0') != std::u16string_view::npos) {
                    return iload->Fail("a name holds a zero character");
                }
                name_ = name;
                break;
            }
            case kGBufIdChunk: {
                std::int32_t id = 0;
                if (iload->ReadI32(id) != IO_OK) return IO_ERROR;
                gbufId_ = id;
                break;
            }
            case kFlagsChunk: {
                std::uint32_t flags = 0;
                if (iload->ReadU32(flags) != IO_OK) return IO_ERROR;
                mtlFlags_ = flags;
                break;
            }
            default:
                break;
        }
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    return result == IO_END ? IO_OK : IO_ERROR;
}

}  // namespace host
