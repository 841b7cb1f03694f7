// glitter-studio: the material's editor as a page on this machine, beside a live preview. Prints
// the address to open (with its token) and serves until interrupted.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "apps/plugin_loader/plugin_library.h"
#include "apps/studio/preview_renderer.h"
#include "apps/studio/studio_server.h"
#include "apps/studio/studio_session.h"

namespace {

namespace fs = std::filesystem;
using namespace glitter::studio;

constexpr char kHelp[] =
    "Usage: glitter-studio [options]\n"
    "Serves the glitter material's editor and a live preview as a page on this machine and\n"
    "prints its address. Materials open and save only under the current folder.\n"
    "\n"
    "Options:\n"
    "  --listen ADDRESS   listen on ADDRESS instead of 127.0.0.1 (the page still needs the token)\n"
    "  --port N           port to listen on (default: any free port)\n"
    "  --plugin PATH      the material plug-in library (default: the one built with this program)\n"
    "  --size N           preview size in pixels, square (default: 256)\n"
    "  --max-passes N     samples per pixel at which the preview stops (default: 64)\n"
    "  --threads N        render threads (default: one per hardware thread)\n"
    "  --help             show this help\n";

fs::path defaultWebFolder() {
    std::error_code ec;
    const fs::path beside = fs::read_symlink("/proc/self/exe", ec).parent_path() / "web";
    if (!ec && fs::is_regular_file(beside / "index.html", ec)) return beside;
    return GLITTER_STUDIO_WEB;
}

int number(const std::string& option, const std::string& text, int low, int high) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) {
        std::fprintf(stderr, "glitter-studio: %s takes a number from %d to %d\n", option.c_str(),
                     low, high);
        std::exit(2);
    }
    return static_cast<int>(v);
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions server;
    PreviewOptions preview;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "glitter-studio: unknown option or missing value: %s\n%s",
                         a.c_str(), kHelp);
            return 2;
        }
        const std::string& v = args[++i];
        if (a == "--listen") {
            server.address = v;
        } else if (a == "--port") {
            server.port = number(a, v, 1, 65535);
        } else if (a == "--plugin") {
            preview.pluginPath = v;
        } else if (a == "--size") {
            preview.size = number(a, v, 16, 2048);
        } else if (a == "--max-passes") {
            preview.maxPasses = number(a, v, 1, 65536);
        } else if (a == "--threads") {
            preview.threads = number(a, v, 1, 256);
        } else {
            std::fprintf(stderr, "glitter-studio: unknown option %s\n%s", a.c_str(), kHelp);
            return 2;
        }
    }
    if (preview.pluginPath.empty()) preview.pluginPath = glitter::pluginloader::defaultPluginPath();
    if (preview.pluginPath.empty()) {
        std::fputs(
            "glitter-studio: no plug-in library built beside this program: name one (--plugin)\n",
            stderr);
        return 2;
    }
    // Half size: the turntable is for judging flicker, the views for judging detail.
    preview.turntableSize = std::max(16, preview.size / 2);
    server.webFolder = defaultWebFolder();

    // The signals are taken by a thread of their own, which stops the server cleanly.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    try {
        StudioSession session(preview.pluginPath, fs::current_path());
        PreviewRenderer renderer(preview);
        StudioServer studio(session, renderer, server);
        studio.bind();
        std::thread waiter([&] {
            int signal = 0;
            sigwait(&signals, &signal);
            studio.stop();
        });
        std::printf("glitter-studio: open %s\n", studio.url().c_str());
        std::fflush(stdout);
        studio.listen();
        // listen() also ends when stop() is called from elsewhere; wake the waiter then.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glitter-studio: %s\n", e.what());
        return 1;
    }
    return 0;
}
