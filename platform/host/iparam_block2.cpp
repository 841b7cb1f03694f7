#include "platform/host/iparam_block2.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/host/class_desc2.h"
#include "platform/host/class_directory.h"
#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/remap_dir.h"
#include "platform/host/texmap.h"

namespace host {

namespace {

constexpr USHORT kHeaderChunk = 0x0001;
constexpr USHORT kParamChunk = 0x0010;
constexpr USHORT kParamHeadChunk = 0x0011;
constexpr USHORT kParamValueChunk = 0x0012;
constexpr USHORT kParamKeysChunk = 0x0013;

// Keeps a value inside what the parameter accepts; false when it cannot be made sound.
bool sanitize(const ParamDef& d, ParamValueRecord& v) {
    switch (d.type) {
        case TYPE_FLOAT:
            if (std::isnan(v.f)) return false;
            if (d.hasRange) {
                v.f = std::clamp(v.f, d.rangeLow.f, d.rangeHigh.f);
            } else if (!std::isfinite(v.f)) {
                return false;
            }
            return true;
        case TYPE_INT:
            if (d.hasRange) v.i = std::clamp(v.i, d.rangeLow.i, d.rangeHigh.i);
            return true;
        case TYPE_BOOL:
            v.i = v.i != 0 ? 1 : 0;
            return true;
        case TYPE_RGBA:
            if (std::isnan(v.c.r) || std::isnan(v.c.g) || std::isnan(v.c.b)) return false;
            v.c = Color(std::clamp(v.c.r, kColorMin, kColorMax),
                        std::clamp(v.c.g, kColorMin, kColorMax),
                        std::clamp(v.c.b, kColorMin, kColorMax));
            return true;
        default:
            return false;
    }
}

float lerp(float a, float b, double s) {
    return static_cast<float>(static_cast<double>(a) + (static_cast<double>(b) - a) * s);
}

std::uint32_t valueSize(ParamType2 type) { return type == TYPE_RGBA ? 12u : 4u; }

IOResult writeValue(ISave* isave, ParamType2 type, const ParamValueRecord& v) {
    switch (type) {
        case TYPE_FLOAT:
            return isave->WriteFloat(v.f);
        case TYPE_RGBA:
            isave->WriteFloat(v.c.r);
            isave->WriteFloat(v.c.g);
            return isave->WriteFloat(v.c.b);
        default:
            return isave->WriteI32(v.i);
    }
}

IOResult readValue(ILoad* iload, ParamType2 type, ParamValueRecord& v) {
    switch (type) {
        case TYPE_FLOAT:
            return iload->ReadFloat(v.f);
        case TYPE_RGBA:
            iload->ReadFloat(v.c.r);
            iload->ReadFloat(v.c.g);
            return iload->ReadFloat(v.c.b);
        case TYPE_INT:
        case TYPE_BOOL: {
            std::int32_t i = 0;
            const IOResult result = iload->ReadI32(i);
            v.i = i;
            return result;
        }
        default:
            return iload->Fail("a map parameter carries a value chunk");
    }
}

class ParamBlock2ClassDesc : public ClassDesc {
public:
    int IsPublic() override { return 0; }
    ReferenceTarget* Create(bool) override { return new IParamBlock2(nullptr); }
    const MCHAR* ClassName() override { return u"ParamBlock2"; }
    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
    Class_ID ClassID() override { return kParamBlock2ClassID; }
    const MCHAR* Category() override { return u""; }
};

}  // namespace

IParamBlock2::IParamBlock2(ParamBlockDesc2* desc) {
    if (desc != nullptr) attachDesc(desc);
}

void IParamBlock2::attachDesc(ParamBlockDesc2* desc) {
    desc_ = desc;
    slots_.assign(desc->params.size(), Slot());
    mapParams_.clear();
    for (std::size_t i = 0; i < desc->params.size(); ++i) {
        slots_[i].value = desc->params[i].defaultValue;
        if (desc->params[i].type == TYPE_TEXMAP) mapParams_.push_back(static_cast<int>(i));
    }
}

ReferenceMaker* IParamBlock2::GetOwner() const {
    for (int i = 0; i < NumDependents(); ++i) {
        ReferenceMaker* maker = GetDependent(i);
        if (desc_ == nullptr || desc_->cd == nullptr) return maker;
        if (maker->ClassID() == desc_->cd->ClassID() &&
            maker->SuperClassID() == desc_->cd->SuperClassID()) {
            return maker;
        }
    }
    return nullptr;
}

const ParamDef* IParamBlock2::def(ParamID id, int tabIndex) const {
    if (desc_ == nullptr || tabIndex != 0) return nullptr;
    return desc_->GetParamDefByID(id);
}

IParamBlock2::Slot& IParamBlock2::slot(const ParamDef& d) {
    return slots_[static_cast<std::size_t>(desc_->IDtoIndex(d.id))];
}

const IParamBlock2::Slot& IParamBlock2::slot(const ParamDef& d) const {
    return slots_[static_cast<std::size_t>(desc_->IDtoIndex(d.id))];
}

int IParamBlock2::refIndexOf(const ParamDef& d) const {
    const int index = desc_->IDtoIndex(d.id);
    for (std::size_t i = 0; i < mapParams_.size(); ++i) {
        if (mapParams_[i] == index) return static_cast<int>(i);
    }
    return -1;
}

ParamValueRecord IParamBlock2::evaluate(const ParamDef& d, TimeValue t, Interval& valid) const {
    const Slot& s = slot(d);
    const std::vector<Key>& keys = s.keys;
    if (keys.size() < 2) return keys.empty() ? s.value : keys.front().v;
    const auto after = std::upper_bound(keys.begin(), keys.end(), t,
                                        [](TimeValue time, const Key& k) { return time < k.t; });
    const bool stepped = d.type == TYPE_BOOL;
    if (after == keys.begin()) {
        valid &= Interval(TIME_NegInfinity, stepped ? keys[1].t - 1 : keys.front().t);
        return keys.front().v;
    }
    if (after == keys.end()) {
        valid &= Interval(keys.back().t, TIME_PosInfinity);
        return keys.back().v;
    }
    const Key& a = *(after - 1);
    const Key& b = *after;
    const bool first = (after - 1) == keys.begin();
    if (stepped) {
        valid &= Interval(first ? TIME_NegInfinity : a.t, b.t - 1);
        return a.v;
    }
    if (t == a.t) {
        valid &= Interval(first ? TIME_NegInfinity : t, t);
        return a.v;
    }
    valid &= Interval(t, t);
    const double f = (static_cast<double>(t) - a.t) / (static_cast<double>(b.t) - a.t);
    ParamValueRecord v;
    switch (d.type) {
        case TYPE_FLOAT:
            v.f = lerp(a.v.f, b.v.f, f);
            break;
        case TYPE_RGBA:
            v.c = Color(lerp(a.v.c.r, b.v.c.r, f), lerp(a.v.c.g, b.v.c.g, f),
                        lerp(a.v.c.b, b.v.c.b, f));
            break;
        default: {
            // Both keys are ints inside the range, so the rounded blend is too.
            const double blended = a.v.i + (static_cast<double>(b.v.i) - a.v.i) * f;
            v.i = static_cast<int>(std::lround(blended));
            break;
        }
    }
    return v;
}

bool IParamBlock2::store(const ParamDef& d, TimeValue t, ParamValueRecord v, bool asKey) {
    if (d.type == TYPE_TEXMAP || !sanitize(d, v)) return false;
    Slot& s = slot(d);
    if (asKey || !s.keys.empty()) {
        if (!d.IsAnimatable() || !IsOnTimeLine(t)) return false;
        const auto at = std::lower_bound(s.keys.begin(), s.keys.end(), t,
                                         [](const Key& k, TimeValue time) { return k.t < time; });
        if (at != s.keys.end() && at->t == t) {
            at->v = v;
        } else {
            if (static_cast<int>(s.keys.size()) >= kMaxKeys) return false;
            s.keys.insert(at, Key{t, v});
        }
    } else {
        s.value = v;
    }
    changed(d.id);
    return true;
}

void IParamBlock2::changed(ParamID id) {
    lastNotify_ = id;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

bool IParamBlock2::GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_FLOAT) return false;
    v = evaluate(*d, t, ivalid).f;
    return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue t, int& v, Interval& ivalid, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || (d->type != TYPE_INT && d->type != TYPE_BOOL)) return false;
    v = evaluate(*d, t, ivalid).i;
    return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue t, Color& v, Interval& ivalid, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_RGBA) return false;
    v = evaluate(*d, t, ivalid).c;
    return true;
}

bool IParamBlock2::GetValue(ParamID id, TimeValue, Texmap*& v, Interval&, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_TEXMAP) return false;
    v = slot(*d).map;
    return true;
}

bool IParamBlock2::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_FLOAT) return false;
    ParamValueRecord r;
    r.f = v;
    return store(*d, t, r, false);
}

bool IParamBlock2::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || (d->type != TYPE_INT && d->type != TYPE_BOOL)) return false;
    ParamValueRecord r;
    r.i = v;
    return store(*d, t, r, false);
}

bool IParamBlock2::SetValue(ParamID id, TimeValue t, Color v, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_RGBA) return false;
    ParamValueRecord r;
    r.c = v;
    return store(*d, t, r, false);
}

bool IParamBlock2::SetValue(ParamID id, TimeValue, Texmap* v, int tabIndex) {
    const ParamDef* d = def(id, tabIndex);
    if (d == nullptr || d->type != TYPE_TEXMAP) return false;
    if (ReplaceReference(refIndexOf(*d), v) != REF_SUCCEED) return false;
    changed(d->id);
    return true;
}

float IParamBlock2::GetFloat(ParamID id, TimeValue t) {
    float v = 0.0f;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid);
    return v;
}

int IParamBlock2::GetInt(ParamID id, TimeValue t) {
    int v = 0;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid);
    return v;
}

Color IParamBlock2::GetColor(ParamID id, TimeValue t) {
    Color v;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid);
    return v;
}

Texmap* IParamBlock2::GetTexmap(ParamID id, TimeValue t) {
    Texmap* v = nullptr;
    Interval valid = FOREVER;
    GetValue(id, t, v, valid);
    return v;
}

bool IParamBlock2::SetKey(ParamID id, TimeValue t, float v) {
    const ParamDef* d = def(id, 0);
    if (d == nullptr || d->type != TYPE_FLOAT) return false;
    ParamValueRecord r;
    r.f = v;
    return store(*d, t, r, true);
}

bool IParamBlock2::SetKey(ParamID id, TimeValue t, int v) {
    const ParamDef* d = def(id, 0);
    if (d == nullptr || (d->type != TYPE_INT && d->type != TYPE_BOOL)) return false;
    ParamValueRecord r;
    r.i = v;
    return store(*d, t, r, true);
}

bool IParamBlock2::SetKey(ParamID id, TimeValue t, Color v) {
    const ParamDef* d = def(id, 0);
    if (d == nullptr || d->type != TYPE_RGBA) return false;
    ParamValueRecord r;
    r.c = v;
    return store(*d, t, r, true);
}

int IParamBlock2::NumKeys(ParamID id) const {
    const ParamDef* d = def(id, 0);
    return d == nullptr ? 0 : static_cast<int>(slot(*d).keys.size());
}

TimeValue IParamBlock2::GetKeyTime(ParamID id, int i) const {
    const ParamDef* d = def(id, 0);
    if (d == nullptr || i < 0 || i >= static_cast<int>(slot(*d).keys.size()))
        return TIME_NegInfinity;
    return slot(*d).keys[static_cast<std::size_t>(i)].t;
}

bool IParamBlock2::DeleteKeys(ParamID id, TimeValue t) {
    const ParamDef* d = def(id, 0);
    if (d == nullptr || d->type == TYPE_TEXMAP) return false;
    Interval ignored = FOREVER;
    Slot& s = slot(*d);
    s.value = evaluate(*d, t, ignored);
    s.keys.clear();
    changed(d->id);
    return true;
}

void IParamBlock2::ResetAll(bool, bool) {
    if (desc_ == nullptr) return;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        slots_[i].value = desc_->params[i].defaultValue;
        slots_[i].keys.clear();
    }
    for (int i = 0; i < NumRefs(); ++i) ReplaceReference(i, nullptr);
    lastNotify_ = -1;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

bool IParamBlock2::Reset(ParamID id) {
    const ParamDef* d = def(id, 0);
    if (d == nullptr) return false;
    Slot& s = slot(*d);
    s.value = d->defaultValue;
    s.keys.clear();
    if (d->type == TYPE_TEXMAP) ReplaceReference(refIndexOf(*d), nullptr);
    changed(d->id);
    return true;
}

std::optional<ParamScriptValue> IParamBlock2::GetValueByName(std::u16string_view name,
                                                             TimeValue t) {
    const int index = desc_ != nullptr ? desc_->NameToIndex(name) : -1;
    if (index < 0) return std::nullopt;
    const ParamDef& d = desc_->params[static_cast<std::size_t>(index)];
    Interval ignored = FOREVER;
    switch (d.type) {
        case TYPE_BOOL:
            return ParamScriptValue(evaluate(d, t, ignored).i != 0);
        case TYPE_INT:
            return ParamScriptValue(evaluate(d, t, ignored).i);
        case TYPE_FLOAT:
            return ParamScriptValue(evaluate(d, t, ignored).f);
        case TYPE_RGBA:
            return ParamScriptValue(evaluate(d, t, ignored).c);
        default:
            return ParamScriptValue(slot(d).map);
    }
}

bool IParamBlock2::SetValueByName(std::u16string_view name, TimeValue t,
                                  const ParamScriptValue& value) {
    const int index = desc_ != nullptr ? desc_->NameToIndex(name) : -1;
    if (index < 0) return false;
    const ParamDef& d = desc_->params[static_cast<std::size_t>(index)];
    switch (d.type) {
        case TYPE_FLOAT:
            if (const auto* f = std::get_if<float>(&value)) return SetValue(d.id, t, *f);
            if (const auto* i = std::get_if<int>(&value))
                return SetValue(d.id, t, static_cast<float>(*i));
            return false;
        case TYPE_INT:
            if (const auto* i = std::get_if<int>(&value)) return SetValue(d.id, t, *i);
            if (const auto* f = std::get_if<float>(&value)) {
                // Only whole numbers an int can hold; anything else is not an int value.
                if (!std::isfinite(*f) || std::trunc(*f) != *f || *f < -2147483648.0f ||
                    *f >= 2147483648.0f) {
                    return false;
                }
                return SetValue(d.id, t, static_cast<int>(*f));
            }
            return false;
        case TYPE_BOOL:
            if (const auto* b = std::get_if<bool>(&value)) return SetValue(d.id, t, *b ? 1 : 0);
            if (const auto* i = std::get_if<int>(&value)) return SetValue(d.id, t, *i != 0 ? 1 : 0);
            return false;
        case TYPE_RGBA:
            if (const auto* c = std::get_if<Color>(&value)) return SetValue(d.id, t, *c);
            return false;
        default:
            if (const auto* m = std::get_if<Texmap*>(&value)) return SetValue(d.id, t, *m);
            return false;
    }
}

RefTargetHandle IParamBlock2::GetReference(int i) {
    if (i < 0 || i >= NumRefs()) return nullptr;
    return slots_[static_cast<std::size_t>(mapParams_[static_cast<std::size_t>(i)])].map;
}

void IParamBlock2::SetReference(int i, RefTargetHandle target) {
    if (i < 0 || i >= NumRefs()) return;
    slots_[static_cast<std::size_t>(mapParams_[static_cast<std::size_t>(i)])].map =
        dynamic_cast<Texmap*>(target);
}

bool IParamBlock2::AcceptsReference(int i, RefTargetHandle target) {
    if (i < 0 || i >= NumRefs()) return false;
    return target == nullptr || dynamic_cast<Texmap*>(target) != nullptr;
}

RefResult IParamBlock2::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                         RefMessage message, bool) {
    if (message == REFMSG_CHANGE) {
        for (int i = 0; i < NumRefs(); ++i) {
            if (GetReference(i) == hTarget) {
                lastNotify_ =
                    desc_->params[static_cast<std::size_t>(mapParams_[static_cast<std::size_t>(i)])]
                        .id;
                break;
            }
        }
    }
    return REF_SUCCEED;
}

ReferenceTarget* IParamBlock2::Clone(RemapDir& remap) {
    if (desc_ == nullptr) return nullptr;
    auto* copy = new IParamBlock2(desc_);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        copy->slots_[i].value = slots_[i].value;
        copy->slots_[i].keys = slots_[i].keys;
    }
    for (int i = 0; i < NumRefs(); ++i) copy->ReplaceReference(i, remap.CloneRef(GetReference(i)));
    copy->lastNotify_ = lastNotify_;
    BaseClone(this, copy, remap);
    return copy;
}

IOResult IParamBlock2::Save(ISave* isave) {
    if (desc_ == nullptr || desc_->cd == nullptr)
        return isave->Fail("a parameter block without an owner class cannot be saved");
    isave->BeginChunk(kHeaderChunk);
    isave->WriteU32(desc_->cd->SuperClassID());
    isave->WriteU32(desc_->cd->ClassID().PartA());
    isave->WriteU32(desc_->cd->ClassID().PartB());
    isave->WriteI32(desc_->id);
    isave->EndChunk();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const ParamDef& d = desc_->params[i];
        isave->BeginChunk(kParamChunk);
        isave->BeginChunk(kParamHeadChunk);
        isave->WriteI32(d.id);
        isave->WriteI32(d.type);
        isave->EndChunk();
        if (d.type != TYPE_TEXMAP) {
            isave->BeginChunk(kParamValueChunk);
            writeValue(isave, d.type, slots_[i].value);
            isave->EndChunk();
            if (!slots_[i].keys.empty()) {
                isave->BeginChunk(kParamKeysChunk);
                isave->WriteU32(static_cast<std::uint32_t>(slots_[i].keys.size()));
                for (const Key& key : slots_[i].keys) {
                    isave->WriteI32(key.t);
                    writeValue(isave, d.type, key.v);
                }
                isave->EndChunk();
            }
        }
        isave->EndChunk();
    }
    return isave->Failed() ? IO_ERROR : IO_OK;
}

IOResult IParamBlock2::Load(ILoad* iload) {
    bool sawHeader = false;
    std::vector<bool> seen;
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kHeaderChunk) {
            if (sawHeader) return iload->Fail("a parameter block with two headers");
            sawHeader = true;
            std::uint32_t super = 0, a = 0, b = 0;
            std::int32_t blockId = 0;
            iload->ReadU32(super);
            iload->ReadU32(a);
            iload->ReadU32(b);
            if (iload->ReadI32(blockId) != IO_OK) return IO_ERROR;
            const ClassDirectory* classes = iload->GetClassDirectory();
            ClassDesc* owner = classes != nullptr ? classes->Find(super, Class_ID(a, b)) : nullptr;
            auto* owner2 = dynamic_cast<ClassDesc2*>(owner);
            ParamBlockDesc2* desc =
                owner2 != nullptr && blockId >= 0 && blockId <= SHRT_MAX
                    ? owner2->GetParamBlockDescByID(static_cast<BlockID>(blockId))
                    : nullptr;
            if (desc == nullptr) {
                return iload->Fail("no parameter block description " + std::to_string(blockId) +
                                   " is registered for the block's owner class");
            }
            if (desc_ != nullptr && desc_ != desc)
                return iload->Fail("the stored block belongs to another description");
            if (desc_ == nullptr) attachDesc(desc);
            seen.assign(desc_->params.size(), false);
        } else if (iload->CurChunkID() == kParamChunk) {
            if (!sawHeader) return iload->Fail("a parameter comes before the block header");
            if (loadParam(iload, seen) != IO_OK) return IO_ERROR;
        }
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    if (result != IO_END) return IO_ERROR;
    if (!sawHeader) return iload->Fail("a parameter block without its header");
    return IO_OK;
}

IOResult IParamBlock2::loadParam(ILoad* iload, std::vector<bool>& seen) {
    if (iload->OpenChunk() != IO_OK || iload->CurChunkID() != kParamHeadChunk) {
        return iload->Fail("a parameter without its head chunk");
    }
    std::int32_t id = 0, type = 0;
    iload->ReadI32(id);
    if (iload->ReadI32(type) != IO_OK || iload->CloseChunk() != IO_OK) return IO_ERROR;
    const int index =
        id >= SHRT_MIN && id <= SHRT_MAX ? desc_->IDtoIndex(static_cast<ParamID>(id)) : -1;
    if (index < 0) return IO_OK;  // a parameter this version no longer has
    const ParamDef& d = desc_->params[static_cast<std::size_t>(index)];
    const std::string label = "parameter '" + d.internalName.toUtf8() + "'";
    if (type != d.type) return iload->Fail(label + " is stored with type " + std::to_string(type));
    if (seen[static_cast<std::size_t>(index)]) return iload->Fail(label + " is stored twice");
    seen[static_cast<std::size_t>(index)] = true;

    ParamValueRecord value = d.defaultValue;
    std::vector<Key> keys;
    IOResult result = IO_OK;
    while ((result = iload->OpenChunk()) == IO_OK) {
        if (iload->CurChunkID() == kParamValueChunk) {
            if (readValue(iload, d.type, value) != IO_OK) return IO_ERROR;
            if (!sanitize(d, value))
                return iload->Fail(label + " has a value that is not a number");
        } else if (iload->CurChunkID() == kParamKeysChunk) {
            if (!d.IsAnimatable()) return iload->Fail(label + " is not animatable but has keys");
            std::uint32_t count = 0;
            if (iload->ReadU32(count) != IO_OK) return IO_ERROR;
            if (count > static_cast<std::uint32_t>(kMaxKeys))
                return iload->Fail(label + " has too many keys: " + std::to_string(count) +
                                   ", more than the limit of " + std::to_string(kMaxKeys));
            const std::uint64_t need = static_cast<std::uint64_t>(count) * (4 + valueSize(d.type));
            if (need != iload->RemainingInChunk())
                return iload->Fail(label + ": the key count does not match the chunk length");
            keys.clear();
            keys.reserve(count);
            for (std::uint32_t k = 0; k < count; ++k) {
                Key key;
                key.v = d.defaultValue;
                if (iload->ReadI32(key.t) != IO_OK || readValue(iload, d.type, key.v) != IO_OK)
                    return IO_ERROR;
                if (!sanitize(d, key.v))
                    return iload->Fail(label + " has a key that is not a number");
                if (!IsOnTimeLine(key.t))
                    return iload->Fail(label + " has a key at time " + std::to_string(key.t) +
                                       ", outside the time line (" + std::to_string(kFirstTime) +
                                       " to " + std::to_string(kLastTime) + ")");
                if (!keys.empty() && key.t <= keys.back().t)
                    return iload->Fail(label + " has keys out of time order");
                keys.push_back(key);
            }
        }
        if (iload->CloseChunk() != IO_OK) return IO_ERROR;
    }
    if (result != IO_END) return IO_ERROR;
    Slot& s = slots_[static_cast<std::size_t>(index)];
    s.value = value;
    s.keys = std::move(keys);
    return IO_OK;
}

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* pdesc, ReferenceMaker*) {
    return pdesc == nullptr ? nullptr : new IParamBlock2(pdesc);
}

ClassDesc* GetParamBlock2ClassDesc() {
    static ParamBlock2ClassDesc desc;
    return &desc;
}

}  // namespace host
