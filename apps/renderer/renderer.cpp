#include "apps/renderer/renderer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "apps/renderer/material_session.h"
#include "apps/renderer/sobol_sampler.h"
#include "apps/renderer/unique_message_log.h"

namespace glitter::renderer {

Renderer::Renderer(const Scene& scene_, const Camera& camera_, const RenderSettings& settings_)
    : scene(scene_), camera(camera_), settings(settings_) {
    if (settings.samplesPerPixel < 1 || settings.threadCount < 1 || settings.tileSize < 1 ||
        settings.maxRayDepth < 0) {
        throw std::invalid_argument("render settings out of range");
    }
    if (const std::optional<PixelRect>& r = settings.region;
        r && (r->x0 < 0 || r->y0 < 0 || r->x1 <= r->x0 || r->y1 <= r->y0 ||
              r->x1 > camera.width() || r->y1 > camera.height())) {
        throw std::invalid_argument("tile (" + std::to_string(r->x0) + ", " +
                                    std::to_string(r->y0) + ", " + std::to_string(r->x1) + ", " +
                                    std::to_string(r->y1) + ") is not a non-empty part of the " +
                                    std::to_string(camera.width()) + "x" +
                                    std::to_string(camera.height()) + " image");
    }
}

Image Renderer::render(KuvoUtils::RenderLog* log, const std::function<void(double)>& progress) {
    const PixelRect area =
        settings.region.value_or(PixelRect{0, 0, camera.width(), camera.height()});
    const int width = area.x1 - area.x0;
    const int height = area.y1 - area.y0;
    Image image(width, height);
    const int tilesX = (width + settings.tileSize - 1) / settings.tileSize;
    const int tilesY = (height + settings.tileSize - 1) / settings.tileSize;
    const int tileCount = tilesX * tilesY;
    const double pixelCount = static_cast<double>(width) * height;

    KuvoUtils::RenderOptions options;
    options.maxRayDepth = settings.maxRayDepth;
    const PathIntegrator integrator(scene, settings.strategy, settings.indirect);

    std::atomic<int> nextTile{0};
    std::atomic<std::int64_t> pixelsDone{0};
    std::atomic<std::uint64_t> droppedCount{0};
    std::atomic<std::uint64_t> shadedCount{0};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex mutex;
    std::condition_variable wake;
    int running = settings.threadCount;

    auto work = [&](int threadIndex) {
        try {
            const KuvoUtils::RenderThreadData threadData{threadIndex};
            RenderContext root;
            std::uint64_t localDropped = 0;
            std::uint64_t localShaded = 0;
            root.setHostTime(settings.time);
            root.countShadingPointsIn(&localShaded);
            for (int tile = nextTile++; tile < tileCount && !failed; tile = nextTile++) {
                const int x0 = (tile % tilesX) * settings.tileSize;
                const int y0 = (tile / tilesX) * settings.tileSize;
                const int x1 = std::min(x0 + settings.tileSize, width);
                const int y1 = std::min(y0 + settings.tileSize, height);
                for (int ty = y0; ty < y1; ++ty) {
                    for (int tx = x0; tx < x1; ++tx) {
                        // Everything below sees the pixel's place in the whole image.
                        const int x = tx + area.x0;
                        const int y = ty + area.y0;
                        const std::uint32_t seed =
                            SobolSampler::pixelSeed(static_cast<std::uint32_t>(x),
                                                    static_cast<std::uint32_t>(y), settings.seed);
                        // Samples are summed in index order whichever thread takes the tile.
                        Color sum;
                        for (int s = 0; s < settings.samplesPerPixel; ++s) {
                            const Color value = integrator.samplePixel(
                                camera, x, y, seed, static_cast<std::uint32_t>(s), &threadData,
                                &options, root);
                            if (isFinite(value)) {
                                sum += value;
                            } else {
                                ++localDropped;
                            }
                        }
                        image.at(tx, ty) = sum / static_cast<float>(settings.samplesPerPixel);
                    }
                }
                pixelsDone += static_cast<std::int64_t>(x1 - x0) * (y1 - y0);
            }
            droppedCount += localDropped;
            shadedCount += localShaded;
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!failure) {
                failure = std::current_exception();
            }
            failed = true;
        }
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        wake.notify_all();
    };

    UniqueMessageLog renderLog(log);
    {
        MaterialSession session(scene.materials(), settings.threadCount, &renderLog, settings.time);
        std::vector<std::thread> threads;
        threads.reserve(static_cast<std::size_t>(settings.threadCount));
        try {
            for (int i = 0; i < settings.threadCount; ++i) {
                threads.emplace_back(work, i);
            }
        } catch (...) {
            failed = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                running -= settings.threadCount - static_cast<int>(threads.size());
            }
            for (std::thread& t : threads) {
                t.join();
            }
            throw;
        }
        {
            // Progress is reported from here, the calling thread, right away and then as the
            // threads work; a callback that throws stops the render like a failed thread.
            std::unique_lock<std::mutex> lock(mutex);
            while (true) {
                if (progress && !failed) {
                    lock.unlock();
                    try {
                        progress(static_cast<double>(pixelsDone.load()) / pixelCount);
                        lock.lock();
                    } catch (...) {
                        lock.lock();
                        if (!failure) {
                            failure = std::current_exception();
                        }
                        failed = true;
                    }
                }
                if (running == 0) {
                    break;
                }
                wake.wait_for(lock, std::chrono::milliseconds(100));
            }
        }
        for (std::thread& t : threads) {
            t.join();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    dropped = droppedCount.load();
    shaded = shadedCount.load();
    if (dropped > 0) {
        renderLog.printWarning("%llu samples had non-finite radiance and were dropped",
                               static_cast<unsigned long long>(dropped));
    }
    if (progress) {
        progress(1.0);
    }
    return image;
}

}  // namespace glitter::renderer
