#include "apps/studio/preview_renderer.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "apps/renderer/image_writer.h"
#include "apps/renderer/render_job.h"
#include "apps/studio/png_bytes.h"
#include "apps/studio/studio_error.h"

namespace glitter::studio {
namespace {

namespace fs = std::filesystem;
using renderer::CameraPreset;
using renderer::CliOptions;
using renderer::Image;
using renderer::RenderJob;

// Thrown through the renderer from its progress callback: it stops the render's threads after
// their current tile, like a failing thread would.
struct Cancelled {};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

PreviewRenderer::PreviewRenderer(PreviewOptions options) : opts(std::move(options)) {
    worker = std::thread([this] { run(); });
}

PreviewRenderer::~PreviewRenderer() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        ++generation;
    }
    wake.notify_all();
    worker.join();
    std::error_code ec;
    if (!requestedFile.empty()) fs::remove(requestedFile, ec);
}

void PreviewRenderer::restart(const std::string& materialFile, unsigned revision) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::error_code ec;
        // A request the worker has not taken yet is superseded: its file goes now.
        if (!requestedFile.empty()) fs::remove(requestedFile, ec);
        requestedFile = materialFile;
        requestedRevision = revision;
        ++generation;
    }
    wake.notify_all();
}

void PreviewRenderer::run() {
    unsigned done = 0;
    while (true) {
        std::string file;
        unsigned gen = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return quit || generation.load() != done; });
            if (quit) return;
            gen = generation.load();
            file = std::exchange(requestedFile, {});
            shownRevision = requestedRevision;
            close = far = View{};
            turntable.assign(static_cast<std::size_t>(opts.turntableFrames), View{});
            coarse = false;
            error.clear();
            rendering = true;
            started = std::chrono::steady_clock::now();
            firstUpdateSeconds = lastUpdateSeconds = -1.0;
        }
        done = gen;
        try {
            renderMaterial(file, gen);
            std::lock_guard<std::mutex> lock(mutex);
            ++rendersFinished;
        } catch (const Cancelled&) {
            std::lock_guard<std::mutex> lock(mutex);
            ++rendersCancelled;
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(mutex);
            error = e.what();
        }
        std::error_code ec;
        fs::remove(file, ec);
        std::lock_guard<std::mutex> lock(mutex);
        rendering = false;
    }
}

void PreviewRenderer::renderMaterial(const std::string& file, unsigned gen) {
    auto check = [&] {
        if (generation.load() != gen) throw Cancelled{};
    };
    const std::function<void(double)> progress = [&](double) { check(); };
    auto makeJob = [&](CameraPreset camera, int size, int frames, int spp) {
        CliOptions o;
        o.plugin = opts.pluginPath;
        o.material.materialFile = file;
        o.camera = camera;
        o.width = o.height = size;
        o.frames = frames;
        o.samplesPerPixel = spp;
        o.threads = opts.threads;
        return std::make_unique<RenderJob>(std::move(o));
    };
    auto render = [&](RenderJob& job, int frame, std::uint32_t seed) {
        check();
        job.setSeed(seed);
        ++activeRenders;
        struct Leave {
            std::atomic<int>& n;
            ~Leave() { --n; }
        } leave{activeRenders};
        return job.renderFrame(frame, nullptr, progress);
    };
    auto add = [&](View& view, const Image& image, bool replace) {
        std::lock_guard<std::mutex> lock(mutex);
        check();
        const std::size_t n = image.pixels().size();
        if (replace || view.width != image.width()) {
            view = View{};
            view.sum.assign(3 * n, 0.0);
            view.width = image.width();
            view.height = image.height();
        }
        for (std::size_t i = 0; i < n; ++i) {
            view.sum[3 * i] += image.pixels()[i].r;
            view.sum[3 * i + 1] += image.pixels()[i].g;
            view.sum[3 * i + 2] += image.pixels()[i].b;
        }
        ++view.passes;
        lastUpdateSeconds = secondsSince(started);
        if (firstUpdateSeconds < 0.0) firstUpdateSeconds = lastUpdateSeconds;
    };

    // A coarse first picture at a quarter of the size: on screen well within a second.
    const int coarseSize = std::max(16, opts.size / 4);
    {
        auto closeJob = makeJob(CameraPreset::close, coarseSize, 1, 1);
        add(close, render(*closeJob, 0, 0), true);
        auto farJob = makeJob(CameraPreset::far, coarseSize, 1, 1);
        add(far, render(*farJob, 0, 0), true);
        std::lock_guard<std::mutex> lock(mutex);
        coarse = true;
    }
    auto closeJob = makeJob(CameraPreset::close, opts.size, 1, 1);
    auto farJob = makeJob(CameraPreset::far, opts.size, 1, 1);
    for (int pass = 0; pass < opts.maxPasses; ++pass) {
        const auto seed = static_cast<std::uint32_t>(pass);
        add(close, render(*closeJob, 0, seed), pass == 0);
        add(far, render(*farJob, 0, seed), pass == 0);
        if (pass == 0) {
            std::lock_guard<std::mutex> lock(mutex);
            coarse = false;
        }
        if (pass + 1 == std::min(opts.turntableAfter, opts.maxPasses) && opts.turntableFrames > 0) {
            auto spin = makeJob(CameraPreset::close, opts.turntableSize, opts.turntableFrames,
                                opts.turntableSpp);
            for (int f = 0; f < opts.turntableFrames; ++f) {
                add(turntable[static_cast<std::size_t>(f)], render(*spin, f, 0), true);
            }
        }
    }
}

nlohmann::json PreviewRenderer::status() {
    std::lock_guard<std::mutex> lock(mutex);
    int frames = 0;
    for (const View& v : turntable) frames += v.passes > 0 ? 1 : 0;
    const bool pending = generation.load() != 0 && !requestedFile.empty();
    return {{"revision", shownRevision},
            {"passes", coarse ? 0 : std::min(close.passes, far.passes)},
            {"coarse", coarse},
            {"size", opts.size},
            {"maxPasses", opts.maxPasses},
            {"turntableFrames", frames},
            {"turntableTotal", opts.turntableFrames},
            {"firstUpdateSeconds", firstUpdateSeconds},
            {"seconds", lastUpdateSeconds},
            {"rendering", rendering || pending},
            {"activeRenders", activeRenders.load()},
            {"rendersCancelled", rendersCancelled},
            {"rendersFinished", rendersFinished},
            {"error", error}};
}

Image PreviewRenderer::average(const std::string& view, int frame) {
    std::lock_guard<std::mutex> lock(mutex);
    const View* v = nullptr;
    if (view == "close") v = &close;
    if (view == "far") v = &far;
    if (view == "turntable" && frame >= 0 && frame < static_cast<int>(turntable.size())) {
        v = &turntable[static_cast<std::size_t>(frame)];
    }
    if (v == nullptr) throw StudioError(404, "no preview view '" + view + "'");
    if (v->passes == 0) throw StudioError(404, "the preview has no pixels yet");
    Image image(v->width, v->height);
    const std::size_t n = v->sum.size() / 3;
    for (std::size_t i = 0; i < n; ++i) {
        auto& c = image.at(static_cast<int>(i % static_cast<std::size_t>(v->width)),
                           static_cast<int>(i / static_cast<std::size_t>(v->width)));
        c.r = static_cast<float>(v->sum[3 * i] / v->passes);
        c.g = static_cast<float>(v->sum[3 * i + 1] / v->passes);
        c.b = static_cast<float>(v->sum[3 * i + 2] / v->passes);
    }
    return image;
}

std::string PreviewRenderer::png(const std::string& view, int frame) {
    const Image image = average(view, frame);
    std::vector<std::uint8_t> rgba(4 * image.pixels().size());
    for (std::size_t i = 0; i < image.pixels().size(); ++i) {
        rgba[4 * i] = renderer::toneMapToSrgb8(image.pixels()[i].r);
        rgba[4 * i + 1] = renderer::toneMapToSrgb8(image.pixels()[i].g);
        rgba[4 * i + 2] = renderer::toneMapToSrgb8(image.pixels()[i].b);
        rgba[4 * i + 3] = 255;
    }
    return encodePngRgba(image.width(), image.height(), rgba);
}

std::string PreviewRenderer::exr(const std::string& view, int frame) {
    const Image image = average(view, frame);
    char folder[] = "/tmp/glitter-studio-exr-XXXXXX";
    if (mkdtemp(folder) == nullptr) throw StudioError(500, "cannot make a temporary folder");
    const fs::path path = fs::path(folder) / "preview.exr";
    std::string bytes;
    try {
        renderer::writeImage(image, path.string());
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (...) {
        std::error_code ec;
        fs::remove_all(folder, ec);
        throw;
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return bytes;
}

}  // namespace glitter::studio
