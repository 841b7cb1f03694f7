// The renderer host plug-in's dialog template generator: builds a rollout's dialog template from
// a parameter block description, so a material needs no dialog resources of its own.
#pragma once

#include "platform/host/dialog_template.h"
#include "platform/host/iparam_block2.h"

namespace KuvoUtils {

class Pb2TemplateGenerator {
public:
    /// A new template for map `mapId` of `pb`'s description: for every parameter whose p_ui
    /// entry names that map, in declaration order, a label and the entry's controls under the
    /// entry's control ids, one row each, laid out for a rollout `width` dialog units wide.
    /// Combo boxes carry their items, read from the description owner's module. A `width` below
    /// kMinWidth is widened to it. The caller owns the template until it hands it to
    /// ReleaseDlgTemplate. Null when `pb` has no description or the description no such map.
    static host::DLGTEMPLATE* GenerateTemplate(host::MapID mapId, host::IParamBlock2* pb,
                                               const host::MCHAR* caption, int width);
    /// Frees a template from GenerateTemplate; null is ignored.
    static void ReleaseDlgTemplate(host::DLGTEMPLATE* dlgTemplate);

    /// Narrowest rollout a row fits in, in dialog units.
    static constexpr int kMinWidth = 170;
};

}  // namespace KuvoUtils
