// One parameter of a block description: identity, type, default, range, control and tooltip.
#pragma once

#include <optional>
#include <vector>

#include "platform/host/color.h"
#include "platform/host/param_types.h"
#include "platform/host/wstr.h"

namespace host {

/// A value of a numeric or colour parameter. Int and bool parameters use `i`, float ones `f`,
/// colour ones `c`.
struct ParamValueRecord {
    int i = 0;
    float f = 0.0f;
    Color c;
    friend bool operator==(const ParamValueRecord&, const ParamValueRecord&) = default;
};

/// The p_ui entry: the control that shows the parameter in one rollout.
struct ParamUI {
    MapID mapId = 0;
    ControlType2 controlType = TYPE_SPINNER;
    /// Spinners: EDITTYPE_INT or EDITTYPE_FLOAT; -1 for other controls.
    int editType = -1;
    /// Control ids in argument order: spinners (edit box, spinner), others one id.
    std::vector<int> controlIds;
    /// Spinner step; SPIN_AUTOSCALE lets the spinner choose. 0 for other controls.
    float spinnerScale = 0.0f;
    /// Combo boxes: the string ids of the items, in list order.
    std::vector<int> comboItems;
};

struct ParamDef {
    ParamID id = 0;
    MSTR internalName;
    ParamType2 type = TYPE_FLOAT;
    int flags = 0;
    StringResID localNameRes = 0;
    ParamValueRecord defaultValue;
    bool hasRange = false;
    ParamValueRecord rangeLow;
    ParamValueRecord rangeHigh;
    std::optional<ParamUI> ui;
    /// String id of the tooltip; 0 when there is none.
    StringResID tooltip = 0;
    /// Sub-texmap index of a map parameter; -1 when not given.
    int subTexNo = -1;

    bool IsAnimatable() const { return (flags & P_ANIMATABLE) != 0; }
};

}  // namespace host
