#include "platform/renderer/render_channels_info.h"

namespace KuvoUtils {

// Constant-initialised, so it is valid before any dynamic initialiser runs.
constinit const RenderChannelsInfo RenderChannelsInfo::reflectChannels{kReflection};

}  // namespace KuvoUtils
