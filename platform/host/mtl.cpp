#include "platform/host/mtl.h"

namespace host {

Color Mtl::GetAmbient(int, bool) { return Color(); }
Color Mtl::GetDiffuse(int, bool) { return Color(); }
Color Mtl::GetSpecular(int, bool) { return Color(); }
float Mtl::GetShininess(int, bool) { return 0.0f; }
float Mtl::GetShinStr(int, bool) { return 0.0f; }
float Mtl::GetXParency(int, bool) { return 0.0f; }
bool Mtl::GetSelfIllumColorOn(int, bool) { return false; }
float Mtl::GetSelfIllum(int, bool) { return 0.0f; }
Color Mtl::GetSelfIllumColor(int, bool) { return Color(); }
Sampler* Mtl::GetPixelSampler(int, bool) { return nullptr; }
float Mtl::WireSize(int, bool) { return 1.0f; }
void Mtl::SetAmbient(Color, TimeValue) {}
void Mtl::SetDiffuse(Color, TimeValue) {}
void Mtl::SetSpecular(Color, TimeValue) {}
void Mtl::SetShininess(float, TimeValue) {}
bool Mtl::SupportsShaders() { return false; }
bool Mtl::SupportsRenderElements() { return false; }

void Mtl::Shade(ShadeContext& sc) {
    sc.out.c = Color();
    sc.out.t = Color();
}

int Mtl::NumSubMtls() { return 0; }
Mtl* Mtl::GetSubMtl(int) { return nullptr; }
void Mtl::SetSubMtl(int, Mtl*) {}
int Mtl::VPDisplaySubMtl() { return -1; }
MSTR Mtl::GetSubMtlSlotName(int) { return MSTR(); }
float Mtl::EvalDisplacement(ShadeContext&) { return 0.0f; }
Interval Mtl::DisplacementValidity(TimeValue) { return FOREVER; }
bool Mtl::IsOutputConst(ShadeContext&, int) { return false; }
bool Mtl::EvalColorStdChannel(ShadeContext&, int, Color&) { return false; }

}  // namespace host
