#include "apps/renderer/cli_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "apps/plugin_loader/plugin_library.h"
#include "platform/host/plugin_library_abi.h"

namespace glitter::renderer {

namespace {

constexpr int kMaxThreads = 256;
constexpr int kMaxSamples = 1 << 16;
constexpr int kMaxSide = 16384;
constexpr long long kMaxPixels = 1ll << 26;
constexpr int kMaxFrames = 9999;

int parseInt(const std::string& option, const std::string& text, int lowest, int highest) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || value < lowest || value > highest) {
        throw UsageError(option + " takes a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ", not '" + text + "'");
    }
    return value;
}

float parseNonNegative(const std::string& option, const std::string& text) {
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || !(value >= 0.0f) || !std::isfinite(value)) {
        throw UsageError(option + " takes a number of at least 0, not '" + text + "'");
    }
    return value;
}

void parseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        throw UsageError("--size takes WIDTHxHEIGHT, for example 640x360, not '" + text + "'");
    }
    width = parseInt("--size width", text.substr(0, x), 1, kMaxSide);
    height = parseInt("--size height", text.substr(x + 1), 1, kMaxSide);
    if (static_cast<long long>(width) * height > kMaxPixels) {
        throw UsageError("--size " + text + " has more than " + std::to_string(kMaxPixels) +
                         " pixels");
    }
}

}  // namespace

CliOptions parseCommandLine(const std::vector<std::string>& args) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Both "--name value" and "--name=value".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        }
        auto takeValue = [&]() -> const std::string& {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    throw UsageError(name + " needs a value");
                }
                value = args[++i];
                hasValue = true;
            }
            return value;
        };
        if (name == "--help" || name == "-h") {
            options.showHelp = true;
        } else if (name == "--threads") {
            options.threads = parseInt(name, takeValue(), 1, kMaxThreads);
        } else if (name == "--spp") {
            options.samplesPerPixel = parseInt(name, takeValue(), 1, kMaxSamples);
        } else if (name == "--size") {
            parseSize(takeValue(), options.width, options.height);
        } else if (name == "--out") {
            options.output = takeValue();
            if (options.output.empty()) {
                throw UsageError("--out needs a file name");
            }
        } else if (name == "--camera") {
            const std::string& preset = takeValue();
            if (preset == "close") {
                options.camera = CameraPreset::close;
            } else if (preset == "far") {
                options.camera = CameraPreset::far;
            } else {
                throw UsageError("--camera takes close or far, not '" + preset + "'");
            }
        } else if (name == "--frames") {
            options.frames = parseInt(name, takeValue(), 1, kMaxFrames);
        } else if (name == "--clamp-indirect") {
            options.clampIndirect = parseNonNegative(name, takeValue());
        } else if (name == "--light-spread") {
            options.lightSpread = parseNonNegative(name, takeValue());
            if (options.lightSpread > 89.0f) {
                throw UsageError("--light-spread takes an angle from 0 to 89 degrees");
            }
        } else if (name == "--plugin") {
            options.plugin = takeValue();
            if (options.plugin.empty()) {
                throw UsageError("--plugin needs a library file or 'builtin'");
            }
        } else if (name == "--material") {
            options.material.materialFile = takeValue();
            if (options.material.materialFile.empty()) {
                throw UsageError("--material needs a file");
            }
        } else if (name == "--set") {
            try {
                options.material.settings.push_back(parseParameterSetting(takeValue()));
            } catch (const SettingError& e) {
                throw UsageError(e.what());
            }
        } else if (name == "--scene") {
            options.scene = takeValue();
            if (options.scene.empty()) {
                throw UsageError("--scene needs 'default' or an OBJ file");
            }
        } else if (name == "--mesh-limit") {
            // Triangle indices are 32 bits wide.
            options.meshLimits.maxElements =
                static_cast<std::uint64_t>(parseInt(name, takeValue(), 1, 2'000'000'000));
        } else if (arg.rfind("-", 0) == 0) {
            throw UsageError("unknown option '" + arg + "'");
        } else {
            throw UsageError("unexpected argument '" + arg + "'");
        }
        if (hasValue && (name == "--help" || name == "-h")) {
            throw UsageError(name + " takes no value");
        }
    }
    return options;
}

void resolvePluginPath(CliOptions& options) {
    MaterialSource& material = options.material;
    if (options.plugin == kBuiltinPlugin) {
        if (!material.materialFile.empty() || !material.settings.empty()) {
            throw UsageError("--material and --set need the plug-in, not --plugin builtin");
        }
        material.pluginPath.clear();
        return;
    }
    material.pluginPath = options.plugin.empty() ? pluginloader::defaultPluginPath() : options.plugin;
    if (material.pluginPath.empty()) {
        throw UsageError(std::string("the material plug-in library ") + kPluginLibraryFileName +
                         " is neither beside the program nor in its build; give --plugin PATH");
    }
}

std::string frameOutputPath(const std::string& output, int frame, int frameCount) {
    if (frameCount <= 1) {
        return output;
    }
    const std::filesystem::path path(output);
    char number[16];
    std::snprintf(number, sizeof number, ".%04d", frame + 1);
    return (path.parent_path() / (path.stem().string() + number + path.extension().string()))
        .string();
}

std::string helpText() {
    return "Usage: glitter_render [options]\n"
           "Renders the glitter material plug-in with the glitter renderer.\n"
           "\n"
           "Options:\n"
           "  --scene default|FILE.obj  the built-in glitter sphere on a ground plane, or an\n"
           "                            OBJ mesh standing on it (default: default)\n"
           "  --mesh-limit N            the most vertices and triangles an OBJ file may have;\n"
           "                            its size may be 128 bytes for each (default:\n"
           "                            8000000, so 1024000000 bytes)\n"
           "  --camera close|far        close up (single flakes) or far away (the smooth\n"
           "                            highlight) (default: far)\n"
           "  --plugin PATH|builtin     the material plug-in library (default: the one built\n"
           "                            with this program); builtin: the renderer's own\n"
           "                            Beckmann stand-in\n"
           "  --material FILE           a material saved by the command-line host\n"
           "                            (default: a new material at its defaults)\n"
           "  --set NAME=VALUE          set a material parameter by its internal name, after\n"
           "                            --material; repeatable. Numbers, on/off, R,G,B;\n"
           "                            reflection_map takes none, checker[:TILING] or\n"
           "                            constant:R,G,B[,A]\n"
           "  --size WxH                image size in pixels (default: 640x360)\n"
           "  --spp N                   samples per pixel (default: the scene's choice, which\n"
           "                            is printed)\n"
           "  --threads N               render threads (default: one per hardware thread)\n"
           "  --clamp-indirect VALUE    the brightest light (largest colour component) one\n"
           "                            reflection sample may bring from another surface to\n"
           "                            the first hit; 0: no clamp (default: the scene's\n"
           "                            choice, which is printed)\n"
           "  --light-spread DEGREES    after a diffuse bounce, lights are seen at least this\n"
           "                            wide (angular radius), with the same power, so that\n"
           "                            glossy caustics are softer; 0: off (default: the\n"
           "                            scene's choice, which is printed)\n"
           "  --frames N                render N frames of a short camera move; file names\n"
           "                            get a frame number, as in glitter.0001.png (default: 1)\n"
           "  --out FILE                output image: .exr (linear float) or .png (sRGB,\n"
           "                            tone-mapped) (default: glitter.png)\n"
           "  --help                    show this help\n"
           "\n"
           "The default scene sets a new material's subdivs and flake_scale (unless --set\n"
           "gives them) so that it renders in seconds and shows single flakes close up and a\n"
           "smooth highlight far away; what it chose is printed. Progress is shown on\n"
           "standard error when it is a terminal. Material warnings go to standard error.\n"
           "A failed render leaves no output file.\n";
}

}  // namespace glitter::renderer
