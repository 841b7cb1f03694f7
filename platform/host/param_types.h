// Constants of parameter block descriptions: parameter types, flags, the tags of the
// description's argument list, control types and editor constants.
#pragma once

#include "platform/host/host_types.h"

namespace host {

enum ParamType2 : int {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_RGBA = 2,
    TYPE_BOOL = 4,
    TYPE_TEXMAP = 15,
};

/// True for the parameter types this host supports.
constexpr bool isSupportedParamType(int type) {
    return type == TYPE_FLOAT || type == TYPE_INT || type == TYPE_RGBA || type == TYPE_BOOL ||
           type == TYPE_TEXMAP;
}

// Parameter flags.
inline constexpr int P_ANIMATABLE = 0x01;

// Block description flags.
inline constexpr int P_AUTO_CONSTRUCT = 0x02;
inline constexpr int P_AUTO_UI = 0x04;
inline constexpr int P_MULTIMAP = 0x20;

/// Tags of the description's argument list. They are a type of their own, so a number can never
/// be taken for a tag or the other way round.
enum class ParamTag : int {
    end = 1,
    default_value,
    range,
    ui,
    tooltip,
    subtexno,
};
inline constexpr ParamTag p_end = ParamTag::end;
inline constexpr ParamTag p_default = ParamTag::default_value;
inline constexpr ParamTag p_range = ParamTag::range;
inline constexpr ParamTag p_ui = ParamTag::ui;
inline constexpr ParamTag p_tooltip = ParamTag::tooltip;
inline constexpr ParamTag p_subtexno = ParamTag::subtexno;

/// Control types of a p_ui entry.
enum ControlType2 : int {
    TYPE_SPINNER = 0,
    TYPE_SINGLECHEKBOX = 2,
    TYPE_COLORSWATCH = 4,
    TYPE_TEXMAPBUTTON = 8,
    TYPE_INT_COMBOBOX = 13,
};

// Spinner edit types.
inline constexpr int EDITTYPE_INT = 0;
inline constexpr int EDITTYPE_FLOAT = 1;

/// Spinner scale that lets the spinner choose its own step.
inline constexpr float SPIN_AUTOSCALE = -1.0f;

// Rollout flags and categories.
inline constexpr DWORD APPENDROLL_CLOSED = 1;
inline constexpr int ROLLUP_CAT_STANDARD = 4000;

}  // namespace host
