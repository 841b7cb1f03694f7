#include "platform/host/param_block_desc2.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <set>

#include "platform/host/class_desc2.h"

namespace host {

namespace {

constexpr int kMaxRollouts = 64;
constexpr int kMaxComboItems = 1024;
constexpr int kKnownBlockFlags = P_AUTO_CONSTRUCT | P_AUTO_UI | P_MULTIMAP;

const char* typeName(int type) {
    switch (type) {
        case TYPE_FLOAT:
            return "TYPE_FLOAT";
        case TYPE_INT:
            return "TYPE_INT";
        case TYPE_RGBA:
            return "TYPE_RGBA";
        case TYPE_BOOL:
            return "TYPE_BOOL";
        case TYPE_TEXMAP:
            return "TYPE_TEXMAP";
        default:
            return "an unknown type";
    }
}

const char* tagName(ParamTag tag) {
    switch (tag) {
        case ParamTag::end:
            return "p_end";
        case ParamTag::default_value:
            return "p_default";
        case ParamTag::range:
            return "p_range";
        case ParamTag::ui:
            return "p_ui";
        case ParamTag::tooltip:
            return "p_tooltip";
        case ParamTag::subtexno:
            return "p_subtexno";
    }
    return "an unknown tag";
}

// Walks the argument list; every read names what it expected so errors are specific.
class ArgReader {
public:
    explicit ArgReader(const ParamArgList& args) : args_(args) {}

    void setContext(std::string context) { context_ = std::move(context); }
    bool atEnd() const { return pos_ >= args_.size(); }
    const ParamArg& peek(const char* what) const {
        if (atEnd()) fail(std::string("the list ends where ") + what + " was expected");
        return args_[pos_];
    }

    int readInt(const char* what, long long low = INT_MIN, long long high = INT_MAX) {
        const ParamArg& arg = peek(what);
        const auto* value = std::get_if<std::int64_t>(&arg);
        if (value == nullptr) mismatch(what, "an integer", arg);
        if (*value < low || *value > high) {
            fail(std::string(what) + " " + std::to_string(*value) + " is outside [" +
                 std::to_string(low) + ", " + std::to_string(high) + "]");
        }
        ++pos_;
        return static_cast<int>(*value);
    }

    float readFloat(const char* what) {
        const ParamArg& arg = peek(what);
        double value = 0.0;
        if (const auto* f = std::get_if<float>(&arg)) {
            value = *f;
        } else if (const auto* d = std::get_if<double>(&arg)) {
            value = *d;
        } else {
            mismatch(what, "a float", arg);
        }
        if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) {
            fail(std::string(what) + " is not a finite single-precision value");
        }
        ++pos_;
        return static_cast<float>(value);
    }

    Color readColor(const char* what) {
        const ParamArg& arg = peek(what);
        const auto* value = std::get_if<Color>(&arg);
        if (value == nullptr) mismatch(what, "a Color", arg);
        if (!std::isfinite(value->r) || !std::isfinite(value->g) || !std::isfinite(value->b)) {
            fail(std::string(what) + " has a non-finite component");
        }
        ++pos_;
        return *value;
    }

    WStr readString(const char* what) {
        const ParamArg& arg = peek(what);
        const auto* value = std::get_if<WStr>(&arg);
        if (value == nullptr) mismatch(what, "a string", arg);
        ++pos_;
        return *value;
    }

    bool peekTag(ParamTag tag) const {
        if (atEnd()) return false;
        const auto* value = std::get_if<ParamTag>(&args_[pos_]);
        return value != nullptr && *value == tag;
    }

    ParamTag readTag(const char* what) {
        const ParamArg& arg = peek(what);
        const auto* value = std::get_if<ParamTag>(&arg);
        if (value == nullptr) mismatch(what, "a tag", arg);
        ++pos_;
        return *value;
    }

    ClassDesc* readOwner(const char* what) {
        const ParamArg& arg = peek(what);
        ClassDesc* owner = nullptr;
        if (const auto* value = std::get_if<ClassDesc*>(&arg)) {
            owner = *value;
        } else if (!std::holds_alternative<std::nullptr_t>(arg)) {
            mismatch(what, "a class descriptor or nullptr", arg);
        }
        ++pos_;
        return owner;
    }

    ParamMap2UserDlgProc* readDlgProc(const char* what) {
        const ParamArg& arg = peek(what);
        ParamMap2UserDlgProc* proc = nullptr;
        if (const auto* value = std::get_if<ParamMap2UserDlgProc*>(&arg)) {
            proc = *value;
        } else if (const auto* number = std::get_if<std::int64_t>(&arg);
                   number != nullptr && *number == 0) {
            proc = nullptr;  // the host's NULL
        } else if (!std::holds_alternative<std::nullptr_t>(arg)) {
            mismatch(what, "a dialog procedure or nullptr", arg);
        }
        ++pos_;
        return proc;
    }

    [[noreturn]] void mismatch(const char* what, const char* expected, const ParamArg& got) const {
        fail(std::string(what) + " must be " + expected + ", got " + paramArgKindName(got));
    }

    [[noreturn]] void fail(const std::string& message) const {
        throw ParamBlockDescError("ParamBlockDesc2 " + context_ + ": argument " +
                                  std::to_string(pos_ + 1) + ": " + message);
    }

private:
    const ParamArgList& args_;
    std::size_t pos_ = 0;
    std::string context_;
};

void readUI(ArgReader& in, const ParamBlockDesc2& desc, ParamDef& def) {
    ParamUI ui;
    if ((desc.flags & P_AUTO_UI) == 0) in.fail("p_ui needs a block with P_AUTO_UI");
    if ((desc.flags & P_MULTIMAP) != 0) {
        ui.mapId = static_cast<MapID>(in.readInt("p_ui map id", 0, SHRT_MAX));
        if (desc.GetRollout(ui.mapId) == nullptr) {
            in.fail("p_ui names map " + std::to_string(ui.mapId) +
                    ", which the block does not declare");
        }
    }
    const int control = in.readInt("p_ui control type", 0, INT_MAX);
    auto requireType = [&](bool ok, const char* control_name) {
        if (!ok) {
            in.fail(std::string(control_name) + " cannot show a " + typeName(def.type) +
                    " parameter");
        }
    };
    switch (control) {
        case TYPE_SPINNER: {
            requireType(def.type == TYPE_FLOAT || def.type == TYPE_INT, "TYPE_SPINNER");
            ui.controlType = TYPE_SPINNER;
            ui.editType = in.readInt("spinner edit type", 0, INT_MAX);
            const int wanted = def.type == TYPE_FLOAT ? EDITTYPE_FLOAT : EDITTYPE_INT;
            if (ui.editType != wanted) {
                in.fail("spinner edit type " + std::to_string(ui.editType) + " does not suit a " +
                        typeName(def.type) + " parameter");
            }
            ui.controlIds.push_back(in.readInt("spinner edit control id", 1, INT_MAX));
            ui.controlIds.push_back(in.readInt("spinner control id", 1, INT_MAX));
            ui.spinnerScale = in.readFloat("spinner scale");
            if (ui.spinnerScale <= 0.0f && ui.spinnerScale != SPIN_AUTOSCALE) {
                in.fail("spinner scale must be positive or SPIN_AUTOSCALE");
            }
            break;
        }
        case TYPE_SINGLECHEKBOX:
            requireType(def.type == TYPE_BOOL || def.type == TYPE_INT, "TYPE_SINGLECHEKBOX");
            ui.controlType = TYPE_SINGLECHEKBOX;
            ui.controlIds.push_back(in.readInt("check box control id", 1, INT_MAX));
            break;
        case TYPE_COLORSWATCH:
            requireType(def.type == TYPE_RGBA, "TYPE_COLORSWATCH");
            ui.controlType = TYPE_COLORSWATCH;
            ui.controlIds.push_back(in.readInt("colour swatch control id", 1, INT_MAX));
            break;
        case TYPE_TEXMAPBUTTON:
            requireType(def.type == TYPE_TEXMAP, "TYPE_TEXMAPBUTTON");
            ui.controlType = TYPE_TEXMAPBUTTON;
            ui.controlIds.push_back(in.readInt("map button control id", 1, INT_MAX));
            break;
        case TYPE_INT_COMBOBOX: {
            requireType(def.type == TYPE_INT, "TYPE_INT_COMBOBOX");
            ui.controlType = TYPE_INT_COMBOBOX;
            ui.controlIds.push_back(in.readInt("combo box control id", 1, INT_MAX));
            const int count = in.readInt("combo box item count", 1, kMaxComboItems);
            for (int i = 0; i < count; ++i)
                ui.comboItems.push_back(in.readInt("combo box item string id"));
            break;
        }
        default:
            in.fail("control type " + std::to_string(control) + " is not supported by this host");
    }
    def.ui = std::move(ui);
}

void readTaggedItems(ArgReader& in, const ParamBlockDesc2& desc, ParamDef& def) {
    std::set<ParamTag> seen;
    while (true) {
        const ParamTag tag = in.readTag("a parameter tag or p_end");
        if (tag == p_end) break;
        if (!seen.insert(tag).second) in.fail(std::string(tagName(tag)) + " is given twice");
        switch (tag) {
            case ParamTag::default_value:
                switch (def.type) {
                    case TYPE_FLOAT:
                        def.defaultValue.f = in.readFloat("p_default");
                        break;
                    case TYPE_INT:
                        def.defaultValue.i = in.readInt("p_default");
                        break;
                    case TYPE_BOOL:
                        def.defaultValue.i = in.readInt("p_default", 0, 1);
                        break;
                    case TYPE_RGBA:
                        def.defaultValue.c = in.readColor("p_default");
                        break;
                    default:
                        in.fail("a TYPE_TEXMAP parameter takes no p_default");
                }
                break;
            case ParamTag::range:
                if (def.type == TYPE_FLOAT) {
                    def.rangeLow.f = in.readFloat("p_range low");
                    def.rangeHigh.f = in.readFloat("p_range high");
                    if (def.rangeLow.f > def.rangeHigh.f) in.fail("p_range low is above high");
                } else if (def.type == TYPE_INT) {
                    def.rangeLow.i = in.readInt("p_range low");
                    def.rangeHigh.i = in.readInt("p_range high");
                    if (def.rangeLow.i > def.rangeHigh.i) in.fail("p_range low is above high");
                } else {
                    in.fail(std::string("a ") + typeName(def.type) + " parameter takes no p_range");
                }
                def.hasRange = true;
                break;
            case ParamTag::ui:
                readUI(in, desc, def);
                break;
            case ParamTag::tooltip:
                def.tooltip = in.readInt("p_tooltip string id", 1, INT_MAX);
                break;
            case ParamTag::subtexno:
                if (def.type != TYPE_TEXMAP)
                    in.fail("p_subtexno is only for TYPE_TEXMAP parameters");
                def.subTexNo = in.readInt("p_subtexno", 0, INT_MAX);
                break;
            case ParamTag::end:
                break;
        }
    }
    if (def.hasRange) {
        const bool inside =
            def.type == TYPE_FLOAT
                ? def.defaultValue.f >= def.rangeLow.f && def.defaultValue.f <= def.rangeHigh.f
                : def.defaultValue.i >= def.rangeLow.i && def.defaultValue.i <= def.rangeHigh.i;
        if (!inside) in.fail("the default lies outside p_range");
    }
}

}  // namespace

ParamBlockDesc2::ParamBlockDesc2(ParseTag, ParamArgList&& args) {
    parse(args);
    if (cd != nullptr) cd->AddParamBlockDesc(this);
}

ParamBlockDesc2::~ParamBlockDesc2() {
    if (cd != nullptr) cd->RemoveParamBlockDesc(this);
}

void ParamBlockDesc2::SetClassDesc(ClassDesc2* owner) {
    if (owner == cd) return;
    if (cd != nullptr) cd->RemoveParamBlockDesc(this);
    cd = owner;
    if (cd != nullptr) cd->AddParamBlockDesc(this);
}

void ParamBlockDesc2::parse(const ParamArgList& args) {
    ArgReader in(args);
    in.setContext("(block header)");
    id = static_cast<BlockID>(in.readInt("block id", 0, SHRT_MAX));
    internalName = in.readString("internal name");
    in.setContext("\"" + internalName.toUtf8() + "\"");
    localNameRes = in.readInt("localized name resource");
    ClassDesc* owner = in.readOwner("owner class descriptor");
    if (owner != nullptr) {
        cd = dynamic_cast<ClassDesc2*>(owner);
        if (cd == nullptr) in.fail("the owner must be a ClassDesc2");
    }
    flags = in.readInt("block flags");
    if ((flags & ~kKnownBlockFlags) != 0)
        in.fail("block flags hold bits this host does not support");
    if ((flags & P_MULTIMAP) != 0 && (flags & P_AUTO_UI) == 0)
        in.fail("P_MULTIMAP needs P_AUTO_UI");
    if ((flags & P_AUTO_CONSTRUCT) != 0) refNo = in.readInt("reference number", 0, INT_MAX);
    if ((flags & P_AUTO_UI) != 0) {
        const int count =
            (flags & P_MULTIMAP) != 0 ? in.readInt("rollout count", 1, kMaxRollouts) : 1;
        for (int i = 0; i < count; ++i) {
            ParamRollout rollout;
            if ((flags & P_MULTIMAP) != 0) {
                rollout.mapId = static_cast<MapID>(in.readInt("rollout map id", 0, SHRT_MAX));
                if (GetRollout(rollout.mapId) != nullptr) {
                    in.fail("rollout map id " + std::to_string(rollout.mapId) +
                            " is declared twice");
                }
            }
            rollout.dialogTemplate = in.readInt("rollout dialog template");
            rollout.title = in.readInt("rollout title string id");
            rollout.flagMask = in.readInt("rollout flag mask");
            rollout.rollupFlags = in.readInt("rollout rollup flags");
            rollout.dlgProc = in.readDlgProc("rollout dialog procedure");
            rollouts.push_back(rollout);
        }
    }

    std::set<int> controlIds;
    while (true) {
        if (in.peekTag(p_end)) {
            in.readTag("the closing p_end");
            break;
        }
        ParamDef def;
        def.id =
            static_cast<ParamID>(in.readInt("parameter id (or the closing p_end)", 0, SHRT_MAX));
        const std::string paramContext = "parameter id " + std::to_string(def.id);
        in.setContext("\"" + internalName.toUtf8() + "\", " + paramContext);
        def.internalName = in.readString("parameter internal name");
        in.setContext("\"" + internalName.toUtf8() + "\", parameter '" + def.internalName.toUtf8() +
                      "' (id " + std::to_string(def.id) + ")");
        if (def.internalName.isNull()) in.fail("the internal name is empty");
        const int type = in.readInt("parameter type");
        if (!isSupportedParamType(type))
            in.fail("type " + std::to_string(type) + " is not supported by this host");
        def.type = static_cast<ParamType2>(type);
        def.flags = in.readInt("parameter flags");
        if ((def.flags & ~P_ANIMATABLE) != 0)
            in.fail("parameter flags hold bits this host does not support");
        if (def.IsAnimatable() && def.type == TYPE_TEXMAP)
            in.fail("a TYPE_TEXMAP parameter cannot be animatable");
        def.localNameRes = in.readInt("localized name resource");
        readTaggedItems(in, *this, def);

        if (GetParamDefByID(def.id) != nullptr) in.fail("the parameter id is declared twice");
        if (NameToIndex(def.internalName.view()) >= 0)
            in.fail("the internal name is declared twice");
        if (def.ui) {
            for (int control : def.ui->controlIds) {
                if (!controlIds.insert(control).second) {
                    in.fail("control id " + std::to_string(control) +
                            " is used twice in the block");
                }
            }
        }
        params.push_back(std::move(def));
        in.setContext("\"" + internalName.toUtf8() + "\"");
    }
    if (!in.atEnd()) in.fail("arguments follow the closing p_end");
}

int ParamBlockDesc2::IDtoIndex(ParamID pid) const {
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (params[i].id == pid) return static_cast<int>(i);
    }
    return -1;
}

ParamID ParamBlockDesc2::IndextoID(int index) const {
    if (index < 0 || index >= Count()) return -1;
    return params[static_cast<std::size_t>(index)].id;
}

int ParamBlockDesc2::NameToIndex(std::u16string_view name) const {
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (params[i].internalName.view() == name) return static_cast<int>(i);
    }
    return -1;
}

const ParamDef* ParamBlockDesc2::GetParamDefByID(ParamID pid) const {
    const int index = IDtoIndex(pid);
    return index < 0 ? nullptr : &params[static_cast<std::size_t>(index)];
}

const ParamRollout* ParamBlockDesc2::GetRollout(MapID mapId) const {
    for (const ParamRollout& rollout : rollouts) {
        if (rollout.mapId == mapId) return &rollout;
    }
    return nullptr;
}

}  // namespace host
