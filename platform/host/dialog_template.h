// A dialog template of the headless editor: the controls a rollout holds, by control id. Made by
// whoever generates the rollouts from a block description, read by CreateMParamMap2 to know
// which parameters the rollout shows.
#pragma once

#include <vector>

#include "platform/host/wstr.h"

namespace host {

enum class DialogControlKind : int {
    label,
    editBox,
    spinner,
    checkBox,
    colorSwatch,
    mapButton,
    comboBox,
};

struct DialogControl {
    int id = 0;  ///< control id; labels may use 0
    DialogControlKind kind = DialogControlKind::label;
    WStr text;  ///< label text or combo items joined by '\n'; empty for other controls
    int x = 0, y = 0, cx = 0, cy = 0;  ///< placement in dialog units
};

struct DLGTEMPLATE {
    WStr caption;
    int width = 0;   ///< dialog units
    int height = 0;  ///< dialog units
    std::vector<DialogControl> controls;

    /// The control with this id, or null.
    const DialogControl* Find(int id) const {
        for (const DialogControl& c : controls) {
            if (c.id == id && id != 0) return &c;
        }
        return nullptr;
    }
};

}  // namespace host
