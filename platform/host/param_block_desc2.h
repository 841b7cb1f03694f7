// The description of a parameter block, built from the same argument list as the host's
// variadic constructor. The list is parsed and checked: a malformed description throws
// ParamBlockDescError with a message that names the parameter and the problem.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host/param_arg.h"
#include "platform/host/param_def.h"

namespace host {

class ClassDesc2;

class ParamBlockDescError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

/// One rollout (parameter map) of the block: (map id, dialog template resource, title string,
/// flag mask, rollup flags, user dialog procedure).
struct ParamRollout {
    MapID mapId = 0;
    int dialogTemplate = 0;
    StringResID title = 0;
    int flagMask = 0;
    int rollupFlags = 0;
    ParamMap2UserDlgProc* dlgProc = nullptr;
};

class ParamBlockDesc2 {
public:
    /// Argument list: block id, internal name, localized name resource, owner class descriptor,
    /// flags, [ref number if P_AUTO_CONSTRUCT], [rollouts if P_AUTO_UI: with P_MULTIMAP a count
    /// then (map id, template, title, flag mask, rollup flags, proc) each, otherwise one
    /// rollout without the map id], then per parameter: id, internal name, type, flags,
    /// localized name resource, tagged items, p_end; a second p_end ends the list.
    /// The description registers itself with its owner (if not null).
    template <class... Args>
    explicit ParamBlockDesc2(Args&&... args)
        : ParamBlockDesc2(ParseTag{}, makeParamArgList(std::forward<Args>(args)...)) {}

    /// Not copyable or movable: the owner and every block hold its address. A function can
    /// still return one by value (guaranteed elision).
    ParamBlockDesc2(const ParamBlockDesc2&) = delete;
    ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;
    ~ParamBlockDesc2();

    BlockID ID() const { return id; }
    int Count() const { return static_cast<int>(params.size()); }
    /// Index of parameter `pid` in declaration order, or -1.
    int IDtoIndex(ParamID pid) const;
    /// Id of the parameter at `index`, or -1.
    ParamID IndextoID(int index) const;
    /// Index of the parameter with this internal name, or -1.
    int NameToIndex(std::u16string_view name) const;
    /// The parameter `pid`; null when there is none.
    const ParamDef* GetParamDefByID(ParamID pid) const;
    const ParamDef& GetParamDef(int index) const {
        return params.at(static_cast<std::size_t>(index));
    }
    /// The rollout with this map id, or null.
    const ParamRollout* GetRollout(MapID mapId) const;

    /// Sets or clears the owner; registers with the new owner and leaves the old one.
    void SetClassDesc(ClassDesc2* owner);

    BlockID id = 0;
    MSTR internalName;
    StringResID localNameRes = 0;
    ClassDesc2* cd = nullptr;
    int flags = 0;
    int refNo = 0;
    std::vector<ParamRollout> rollouts;
    /// Parameters in declaration order.
    std::vector<ParamDef> params;

private:
    struct ParseTag {};
    ParamBlockDesc2(ParseTag, ParamArgList&& args);
    void parse(const ParamArgList& args);
};

}  // namespace host
