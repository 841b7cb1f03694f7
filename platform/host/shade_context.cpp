#include "platform/host/shade_context.h"

namespace host {

Point3 ShadeContext::UVW(int channel) {
    const auto it = channels_.find(channel);
    return it == channels_.end() ? Point3() : it->second.uvw;
}

Point3 ShadeContext::DUVW(int channel) {
    const auto it = channels_.find(channel);
    return it == channels_.end() ? Point3() : it->second.duvw;
}

void ShadeContext::DPdUVW(Point3 dP[3], int channel) {
    const auto it = channels_.find(channel);
    for (int i = 0; i < 3; ++i)
        dP[i] = it == channels_.end() ? Point3() : it->second.dpduvw[static_cast<std::size_t>(i)];
}

void ShadeContext::SetUVW(int channel, const Point3& uvw, const Point3& duvw) {
    if (channel < 0 || channel > kMaxMapChannel) return;
    Channel& c = channels_[channel];
    c.uvw = uvw;
    c.duvw = duvw;
}

void ShadeContext::SetDPdUVW(int channel, const Point3 dP[3]) {
    if (channel < 0 || channel > kMaxMapChannel) return;
    Channel& c = channels_[channel];
    for (int i = 0; i < 3; ++i) c.dpduvw[static_cast<std::size_t>(i)] = dP[i];
}

}  // namespace host
