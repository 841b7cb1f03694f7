#include "apps/host/renderer_class_desc.h"

namespace glitter::hostcli {

RendererClassDesc& RendererClassDesc::production() {
    static RendererClassDesc cd(u"production renderer", host::Class_ID(0x73bab286, 0x77f8fd0c));
    return cd;
}

RendererClassDesc& RendererClassDesc::scanline() {
    static RendererClassDesc cd(u"scanline renderer", host::Class_ID(0x00000001, 0x00000000));
    return cd;
}

}  // namespace glitter::hostcli
