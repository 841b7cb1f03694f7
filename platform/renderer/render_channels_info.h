// A set of the renderer's output channels (render elements) that a BRDF's samples feed.
#pragma once

#include <cstdint>

namespace KuvoUtils {

class RenderChannelsInfo {
  public:
    enum Channel : std::uint32_t {
        kDiffuse = 1u << 0,
        kReflection = 1u << 1,
        kRefraction = 1u << 2,
        kSelfIllumination = 1u << 3,
    };

    constexpr explicit RenderChannelsInfo(std::uint32_t channelMask) : channels(channelMask) {}

    constexpr bool contains(Channel channel) const { return (channels & channel) != 0; }

    /// The set of a reflecting BRDF. Compare sets by value, not by address: the plug-in links
    /// its own copy of this layer, so its pointer need not equal the renderer's.
    static const RenderChannelsInfo reflectChannels;

    friend constexpr bool operator==(const RenderChannelsInfo&,
                                     const RenderChannelsInfo&) = default;

    std::uint32_t channels;
};

}  // namespace KuvoUtils
