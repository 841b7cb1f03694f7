// The renderer's side of a material's Shade hand-over for tests: records which render-time
// material it was given and with which G-buffer id.
#pragma once

#include "platform/renderer/kuvo_interface.h"

namespace glitter::test {

class RecordingShading : public KuvoUtils::KuvoInterface {
public:
    void shadeMaterial(KuvoUtils::KuvoRenderMtl& material, int gbufferId) override {
        ++calls;
        last = &material;
        lastGbuf = gbufferId;
    }
    int calls = 0;
    KuvoUtils::KuvoRenderMtl* last = nullptr;
    int lastGbuf = -1;
};

}  // namespace glitter::test
