// The live preview: the default scene's sphere close up and far away, rendered progressively on
// a worker thread by the renderer's own RenderJob (one sample per pixel a pass, passes of
// different seeds added up), then a short turntable. A new material cancels the render in
// flight: the worker checks a generation number between passes and, through the renderer's
// progress callback, between tiles, so no render keeps running behind a change.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "apps/renderer/image.h"

namespace glitter::studio {

struct PreviewOptions {
    std::string pluginPath;
    int size = 256;      ///< close and far views, square
    int maxPasses = 64;  ///< the views stop at this many samples per pixel
    int turntableFrames = 8;
    int turntableSize = 128;  ///< main() makes it half the views' size
    int turntableSpp = 2;
    int turntableAfter = 16;  ///< the turntable is rendered once the views have this many passes
    int threads = 0;          ///< 0: one per hardware thread
};

class PreviewRenderer {
  public:
    explicit PreviewRenderer(PreviewOptions options);
    /// Cancels the render in flight and waits for the worker.
    ~PreviewRenderer();
    PreviewRenderer(const PreviewRenderer&) = delete;
    PreviewRenderer& operator=(const PreviewRenderer&) = delete;

    /// Starts over with the material stored in `materialFile` (which the preview deletes when
    /// done with it), tagged `revision`; cancels the render in flight.
    void restart(const std::string& materialFile, unsigned revision);
    /// Revision shown, passes reached per view, turntable frames done, seconds to the first
    /// update and to the latest, whether a render is running, and counters of renders.
    nlohmann::json status();
    /// `view`: "close", "far" or "turntable" (frame `frame`). The image as the renderer's PNG
    /// mapping (tone-mapped 8-bit sRGB) or as OpenEXR bytes; throws StudioError 404 when the
    /// view has no pixels yet.
    std::string png(const std::string& view, int frame);
    std::string exr(const std::string& view, int frame);

  private:
    struct View {
        std::vector<double> sum;  ///< RGB sums of the passes so far
        int width = 0;
        int height = 0;
        int passes = 0;
    };
    void run();
    void renderMaterial(const std::string& file, unsigned generation);
    renderer::Image average(const std::string& view, int frame);

    PreviewOptions opts;
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    std::string requestedFile;
    unsigned requestedRevision = 0;
    std::atomic<unsigned> generation{0};
    unsigned shownRevision = 0;
    View close, far;
    std::vector<View> turntable;
    bool coarse = false;
    bool rendering = false;
    std::string error;
    std::chrono::steady_clock::time_point started;
    double firstUpdateSeconds = -1.0;
    double lastUpdateSeconds = -1.0;
    std::atomic<int> activeRenders{0};
    std::uint64_t rendersCancelled = 0;
    std::uint64_t rendersFinished = 0;
    std::thread worker;
};

}  // namespace glitter::studio
