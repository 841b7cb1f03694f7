// The `rollouts` listing: the material's parameter dialog opened in the headless editor, with
// each rollout's title, whether it starts open, and each control with its ids and enabled state.
#pragma once

#include <ostream>
#include <vector>

#include "apps/host/param_editor.h"

namespace glitter::hostcli {

/// Opens `material`'s dialog at time `t`, makes `edits` with it open (so the material's change
/// handling updates the controls, as in the editor), prints the rollouts and closes the dialog.
void printRollouts(host::Mtl& material, ParamEditor& editor, const std::vector<ParamEdit>& edits,
                   host::TimeValue t, std::ostream& out);

}  // namespace glitter::hostcli
