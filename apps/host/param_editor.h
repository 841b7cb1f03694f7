// A material's parameters as the command line reaches them: by internal name across all of the
// material's parameter blocks, read at a time with their validity, and changed with the range
// checks the command line promises (values out of range are refused, not clamped).
#pragma once

#include <string>
#include <vector>

#include "apps/host/command_line.h"
#include "platform/host/class_desc.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/mtl.h"

namespace glitter::hostcli {

class ParamEditor {
  public:
    struct Param {
        host::IParamBlock2* block = nullptr;
        const host::ParamDef* def = nullptr;
    };

    /// `classDesc` is the material's class descriptor; its module holds the combo box texts.
    ParamEditor(host::Mtl& material, host::ClassDesc& classDesc);

    /// Every parameter, block by block in declaration order.
    const std::vector<Param>& params() const { return params_; }
    /// The parameter with this internal name; throws CliError listing the names there are.
    Param find(const std::string& name) const;

    /// Carries out one edit; `time` is the time of --set and --unkey. Throws CliError, having
    /// changed nothing, for an unknown parameter, a bad or out-of-range value, or a key on a
    /// parameter that cannot be animated.
    void apply(const ParamEdit& edit, host::TimeValue time);

    /// The value at `t` in the syntax --set takes; narrows `valid` to its validity.
    std::string valueText(const Param& p, host::TimeValue t, host::Interval& valid) const;
    /// The texts of an int parameter's combo box items, in list order; empty for other controls.
    std::vector<std::string> comboItems(const host::ParamDef& def) const;

  private:
    void setMap(const Param& p, const std::string& text, host::TimeValue time);

    host::Mtl& material_;
    host::ClassDesc& classDesc_;
    std::vector<Param> params_;
};

}  // namespace glitter::hostcli
