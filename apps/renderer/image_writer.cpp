#include "apps/renderer/image_writer.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace glitter::renderer {

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

fs::path folderOf(const std::string& path) {
    fs::path folder = fs::path(path).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// A new, empty file beside `path` that no other process picked: mkstemp's guarantee. Its name
// is short and of fixed length, so it fits wherever the target's name fits.
std::string makeTemporaryBeside(const std::string& path) {
    std::string pattern = (folderOf(path) / ".glitter-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        throw ImageWriteError("cannot write '" + path + "': " + std::strerror(errno));
    }
    close(fd);
    return std::string(buffer.data());
}

void writeExr(const Image& image, const std::string& path) {
    Imf::Header header(image.width(), image.height());
    header.channels().insert("R", Imf::Channel(Imf::FLOAT));
    header.channels().insert("G", Imf::Channel(Imf::FLOAT));
    header.channels().insert("B", Imf::Channel(Imf::FLOAT));
    Imf::OutputFile file(path.c_str(), header);
    Imf::FrameBuffer frame;
    // Colour is three packed floats, so each channel is a strided slice of the pixel array.
    auto* base = const_cast<char*>(reinterpret_cast<const char*>(image.pixels().data()));
    const std::size_t xStride = sizeof(KuvoUtils::Color);
    const std::size_t yStride = xStride * static_cast<std::size_t>(image.width());
    frame.insert("R", Imf::Slice(Imf::FLOAT, base + 0 * sizeof(float), xStride, yStride));
    frame.insert("G", Imf::Slice(Imf::FLOAT, base + 1 * sizeof(float), xStride, yStride));
    frame.insert("B", Imf::Slice(Imf::FLOAT, base + 2 * sizeof(float), xStride, yStride));
    file.setFrameBuffer(frame);
    file.writePixels(image.height());
}

void writePng(const Image& image, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(image.pixels().size() * 3);
    for (const KuvoUtils::Color& c : image.pixels()) {
        bytes.push_back(toneMapToSrgb8(c.r));
        bytes.push_back(toneMapToSrgb8(c.g));
        bytes.push_back(toneMapToSrgb8(c.b));
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width());
    png.height = static_cast<png_uint_32>(image.height());
    png.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&png, path.c_str(), 0, bytes.data(), 0, nullptr) == 0) {
        const std::string message = png.message;
        png_image_free(&png);
        throw ImageWriteError("cannot write '" + path + "': " + message);
    }
}

}  // namespace

ImageFormat imageFormatFor(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == ".exr") {
        return ImageFormat::exr;
    }
    if (ext == ".png") {
        return ImageFormat::png;
    }
    throw ImageWriteError("cannot write '" + path +
                          "': unknown image format (use a .exr or .png file name)");
}

void checkImagePath(const std::string& path) {
    imageFormatFor(path);
    std::error_code error;
    if (fs::is_directory(path, error)) {
        throw ImageWriteError("cannot write '" + path + "': it is a directory");
    }
    const fs::path folder = folderOf(path);
    if (!fs::is_directory(folder, error)) {
        throw ImageWriteError("cannot write '" + path + "': folder '" + folder.string() +
                              "' does not exist");
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        throw ImageWriteError("cannot write '" + path + "': " + std::strerror(errno));
    }
    // The last step, renaming the finished image into place, is where a name too long for the
    // folder's file system would fail: after the whole render.
    const long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    const long pathMax = pathconf(folder.c_str(), _PC_PATH_MAX);
    const std::string name = fs::path(path).filename().string();
    if ((nameMax > 0 && name.size() > static_cast<std::size_t>(nameMax)) ||
        (pathMax > 0 && path.size() >= static_cast<std::size_t>(pathMax))) {
        throw ImageWriteError("cannot write '" + path + "': " + std::strerror(ENAMETOOLONG));
    }
}

void writeImage(const Image& image, const std::string& path) {
    const ImageFormat format = imageFormatFor(path);
    checkImagePath(path);
    const std::string temporary = makeTemporaryBeside(path);
    try {
        if (format == ImageFormat::exr) {
            writeExr(image, temporary);
        } else {
            writePng(image, temporary);
        }
        // mkstemp makes the file private; the image gets the permissions of any new file.
        const mode_t mask = umask(0);
        umask(mask);
        if (chmod(temporary.c_str(), 0666 & ~mask) != 0 ||
            std::rename(temporary.c_str(), path.c_str()) != 0) {
            throw ImageWriteError("cannot write '" + path + "': " + std::strerror(errno));
        }
    } catch (const std::exception& e) {
        std::remove(temporary.c_str());
        // The temporary file is ours, not the user's: the message names the target.
        std::string reason = e.what();
        for (std::size_t at = reason.find(temporary); at != std::string::npos;
             at = reason.find(temporary, at + path.size())) {
            reason.replace(at, temporary.size(), path);
        }
        throw ImageWriteError(reason.starts_with("cannot write '" + path + "'")
                                  ? reason
                                  : "cannot write '" + path + "': " + reason);
    }
}

std::uint8_t toneMapToSrgb8(float linear) {
    if (!(linear > 0.0f)) {
        return 0;  // negatives and NaN
    }
    constexpr float kKnee = 0.8f;
    float v = linear;
    if (v > kKnee) {
        // Continuous with slope 1 at the knee, tends to 1 for very bright values.
        v = kKnee + (1.0f - kKnee) * (1.0f - std::exp(-(v - kKnee) / (1.0f - kKnee)));
    }
    const float srgb =
        v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 1.0f / 2.4f) - 0.055f;
    const float scaled = std::clamp(srgb, 0.0f, 1.0f) * 255.0f + 0.5f;
    return static_cast<std::uint8_t>(scaled);
}

}  // namespace glitter::renderer
