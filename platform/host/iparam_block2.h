// A parameter block: the values of one block description for one owner, per time, kept inside
// the description's ranges; map parameters are the block's references.
#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "platform/host/param_block_desc2.h"
#include "platform/host/reference_target.h"

namespace host {

class Texmap;

/// Class id of every parameter block.
inline constexpr Class_ID kParamBlock2ClassID{0x00000082, 0x00000000};

/// A parameter value as scripting sees it: bool, int, float, colour or map.
using ParamScriptValue = std::variant<bool, int, float, Color, Texmap*>;

/// Keys: with keys, a parameter's value comes from them alone. Float and colour keys are
/// interpolated linearly, int keys linearly and rounded to nearest, bool keys hold until the next
/// key. Before the first key the first key's value holds, after the last the last's. A read's
/// validity is the span over which the value cannot change: from -infinity up to the first key,
/// from the last key on to +infinity, the stretch between two bool keys, and the instant itself
/// between two float/int/colour keys. A parameter without keys is valid forever.
class IParamBlock2 : public ReferenceTarget {
public:
    /// Most keys one parameter may carry.
    static constexpr int kMaxKeys = 100000;

    /// A block with the description's defaults. A null description is allowed only for a block
    /// about to be loaded (Load finds the description).
    explicit IParamBlock2(ParamBlockDesc2* desc);

    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
    Class_ID ClassID() override { return kParamBlock2ClassID; }
    void GetClassName(MSTR& s) override { s = MSTR(u"ParamBlock2"); }

    ParamBlockDesc2* GetDesc() const { return desc_; }
    BlockID ID() const { return desc_ != nullptr ? desc_->id : BlockID(-1); }
    /// The object whose class owns the description and that references this block (the first
    /// such dependent), or null.
    ReferenceMaker* GetOwner() const;
    int NumParams() const { return desc_ != nullptr ? desc_->Count() : 0; }
    ParamID IndextoID(int index) const {
        return desc_ != nullptr ? desc_->IndextoID(index) : ParamID(-1);
    }
    int IDtoIndex(ParamID id) const { return desc_ != nullptr ? desc_->IDtoIndex(id) : -1; }

    /// Reads parameter `id` at t and narrows `ivalid` to the value's validity. Answers false (and
    /// leaves both untouched) for an unknown id, a type that does not match or a tab index other
    /// than 0. Int reads serve TYPE_INT and TYPE_BOOL parameters.
    bool GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex = 0);
    bool GetValue(ParamID id, TimeValue t, int& v, Interval& ivalid, int tabIndex = 0);
    bool GetValue(ParamID id, TimeValue t, Color& v, Interval& ivalid, int tabIndex = 0);
    bool GetValue(ParamID id, TimeValue t, Texmap*& v, Interval& ivalid, int tabIndex = 0);

    /// Sets parameter `id`. The value is clamped into the parameter's range; a NaN, and an
    /// infinity where there is no range to clamp it to, is refused (false). On a parameter with
    /// keys this sets (adds or replaces) the key at t. Notifies the dependents with REFMSG_CHANGE.
    bool SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
    bool SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
    bool SetValue(ParamID id, TimeValue t, Color v, int tabIndex = 0);
    /// Map parameters only; the map becomes a reference of the block. Null clears the slot.
    bool SetValue(ParamID id, TimeValue t, Texmap* v, int tabIndex = 0);

    // Reads without a validity interval.
    float GetFloat(ParamID id, TimeValue t = 0);
    int GetInt(ParamID id, TimeValue t = 0);
    Color GetColor(ParamID id, TimeValue t = 0);
    Texmap* GetTexmap(ParamID id, TimeValue t = 0);

    /// Adds or replaces the key at t of an animatable parameter (false for others).
    bool SetKey(ParamID id, TimeValue t, float v);
    bool SetKey(ParamID id, TimeValue t, int v);
    bool SetKey(ParamID id, TimeValue t, Color v);
    int NumKeys(ParamID id) const;
    /// Time of key i, or TIME_NegInfinity when there is no such key.
    TimeValue GetKeyTime(ParamID id, int i) const;
    /// Removes the keys; the parameter keeps the value it had at time t.
    bool DeleteKeys(ParamID id, TimeValue t = 0);
    bool IsAnimated(ParamID id) const { return NumKeys(id) > 0; }

    /// Every parameter back to its default, keys and maps removed.
    void ResetAll(bool updateUI = true, bool callSetHandlers = true);
    /// One parameter back to its default.
    bool Reset(ParamID id);
    /// The parameter changed last (also when a map in the block changed); -1 after ResetAll or
    /// before any change.
    ParamID LastNotifyParamID() const { return lastNotify_; }

    /// Scripting: read and write by internal name. Setting accepts an int for a float parameter,
    /// a bool or int for a bool one, and a whole float for an int one; the range rules of
    /// SetValue apply.
    std::optional<ParamScriptValue> GetValueByName(std::u16string_view name, TimeValue t);
    bool SetValueByName(std::u16string_view name, TimeValue t, const ParamScriptValue& value);

    // References: one slot per map parameter, in declaration order.
    int NumRefs() override { return static_cast<int>(mapParams_.size()); }
    RefTargetHandle GetReference(int i) override;
    bool AcceptsReference(int i, RefTargetHandle target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, bool propagate) override;
    ReferenceTarget* Clone(RemapDir& remap) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

protected:
    void SetReference(int i, RefTargetHandle target) override;

private:
    struct Key {
        TimeValue t = 0;
        ParamValueRecord v;
    };
    struct Slot {
        ParamValueRecord value;
        std::vector<Key> keys;
        Texmap* map = nullptr;
    };

    void attachDesc(ParamBlockDesc2* desc);
    const ParamDef* def(ParamID id, int tabIndex) const;
    Slot& slot(const ParamDef& d);
    const Slot& slot(const ParamDef& d) const;
    int refIndexOf(const ParamDef& d) const;
    ParamValueRecord evaluate(const ParamDef& d, TimeValue t, Interval& valid) const;
    bool store(const ParamDef& d, TimeValue t, ParamValueRecord v, bool asKey);
    void changed(ParamID id);
    IOResult loadParam(ILoad* iload, std::vector<bool>& seen);

    ParamBlockDesc2* desc_ = nullptr;
    std::vector<Slot> slots_;
    std::vector<int> mapParams_;  // declaration indices of the map parameters
    ParamID lastNotify_ = -1;
};

/// A new block with `pdesc`'s defaults; `owner` is found later through the block's dependents.
IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* pdesc, ReferenceMaker* owner);

/// The class descriptor through which stored scenes create parameter blocks.
ClassDesc* GetParamBlock2ClassDesc();

}  // namespace host
