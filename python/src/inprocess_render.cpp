#include "python/src/inprocess_render.h"

#include "apps/renderer/cli_options.h"
#include "apps/renderer/render_job.h"
#include "platform/renderer/stream_render_log.h"

namespace glitter::python {

using namespace glitter::renderer;

// The same job glitter_render runs, so the same options give the same bits.
Image renderInProcess(const std::vector<std::string>& args, int frame,
                      const std::optional<PixelRect>& tile) {
    CliOptions options = parseCommandLine(args);
    if (options.showHelp) throw UsageError("--help is no render option");
    if (frame < 0 || frame >= options.frames) {
        throw UsageError("frame " + std::to_string(frame) + " is not one of the " +
                         std::to_string(options.frames) + " frames");
    }
    RenderJob job(std::move(options));
    KuvoUtils::StreamRenderLog log(stderr);
    return tile ? job.renderTile(frame, *tile, &log) : job.renderFrame(frame, &log);
}

}  // namespace glitter::python
