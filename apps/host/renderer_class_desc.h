// The class descriptors of the renderers this host knows, as a material's compatibility
// interface is asked about them: the production renderer and the host's own scanline renderer.
// Neither renders here; they only carry their identity.
#pragma once

#include "platform/host/class_desc.h"

namespace glitter::hostcli {

class RendererClassDesc : public host::ClassDesc {
  public:
    RendererClassDesc(const host::MCHAR* name, host::Class_ID id) : name_(name), id_(id) {}

    int IsPublic() override { return 1; }
    host::ReferenceTarget* Create(bool) override { return nullptr; }
    const host::MCHAR* ClassName() override { return name_; }
    host::SClass_ID SuperClassID() override { return host::RENDERER_CLASS_ID; }
    host::Class_ID ClassID() override { return id_; }
    const host::MCHAR* Category() override { return u""; }

    static RendererClassDesc& production();
    static RendererClassDesc& scanline();

  private:
    const host::MCHAR* name_;
    host::Class_ID id_;
};

}  // namespace glitter::hostcli
