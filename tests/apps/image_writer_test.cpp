#include <gtest/gtest.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <png.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "apps/renderer/image_writer.h"

namespace glitter::renderer {
namespace {

namespace fs = std::filesystem;
using KuvoUtils::Color;

class ImageWriter : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::path(::testing::TempDir()) /
                 ("image_writer_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::size_t filesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    static Image gradient() {
        Image image(5, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                image.at(x, y) = Color(0.1f * x, 0.7f * y, x == 4 ? 37.5f : 1.0f / 3.0f);
            }
        }
        return image;
    }

    fs::path folder;
};

TEST_F(ImageWriter, ExrKeepsTheLinearFloatsExactly) {
    const Image image = gradient();
    const std::string path = (folder / "out.exr").string();
    writeImage(image, path);
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    ASSERT_EQ(window.max.x - window.min.x + 1, 5);
    ASSERT_EQ(window.max.y - window.min.y + 1, 3);
    ASSERT_EQ(file.header().channels().findChannel("R")->type, Imf::FLOAT);
    std::vector<float> r(15), g(15), b(15);
    Imf::FrameBuffer frame;
    frame.insert("R", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(r.data()), sizeof(float),
                                 5 * sizeof(float)));
    frame.insert("G", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(g.data()), sizeof(float),
                                 5 * sizeof(float)));
    frame.insert("B", Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(b.data()), sizeof(float),
                                 5 * sizeof(float)));
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * 5 + x);
            EXPECT_EQ(r[i], image.at(x, y).r);
            EXPECT_EQ(g[i], image.at(x, y).g);
            EXPECT_EQ(b[i], image.at(x, y).b);
        }
    }
    EXPECT_EQ(filesInFolder(), 1u);  // no temporary file left beside it
    // The private temporary file's mode does not stick to the image.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(path).permissions(), static_cast<fs::perms>(0666 & ~mask));
}

TEST_F(ImageWriter, PngHoldsTheToneMappedSrgbBytes) {
    const Image image = gradient();
    const std::string path = (folder / "out.PNG").string();
    writeImage(image, path);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&png, path.c_str()), 0) << png.message;
    ASSERT_EQ(png.width, 5u);
    ASSERT_EQ(png.height, 3u);
    png.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(png));
    ASSERT_NE(png_image_finish_read(&png, nullptr, bytes.data(), 0, nullptr), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const std::size_t i = static_cast<std::size_t>(3 * (y * 5 + x));
            EXPECT_EQ(bytes[i], toneMapToSrgb8(image.at(x, y).r));
            EXPECT_EQ(bytes[i + 1], toneMapToSrgb8(image.at(x, y).g));
            EXPECT_EQ(bytes[i + 2], toneMapToSrgb8(image.at(x, y).b));
        }
    }
}

TEST(ToneMap, SrgbBelowTheKneeAndASoftShoulderAbove) {
    EXPECT_EQ(toneMapToSrgb8(0.0f), 0);
    EXPECT_EQ(toneMapToSrgb8(-1.0f), 0);
    EXPECT_EQ(toneMapToSrgb8(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(toneMapToSrgb8(std::numeric_limits<float>::infinity()), 255);
    EXPECT_EQ(toneMapToSrgb8(0.18f), 118);  // mid grey: 0.4614 in sRGB
    EXPECT_EQ(toneMapToSrgb8(0.5f), 188);   // 0.7354
    EXPECT_LT(toneMapToSrgb8(1.0f), 250);   // the shoulder leaves room above white
    EXPECT_EQ(toneMapToSrgb8(100.0f), 255);
    std::uint8_t previous = 0;
    for (float v = 0.0f; v < 8.0f; v += 0.01f) {
        const std::uint8_t mapped = toneMapToSrgb8(v);
        ASSERT_GE(mapped, previous) << v;
        previous = mapped;
    }
}

TEST_F(ImageWriter, BadPathsFailWithoutLeavingFiles) {
    const Image image = gradient();
    auto message = [&](const std::string& path) -> std::string {
        try {
            writeImage(image, path);
        } catch (const ImageWriteError& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_NE(message((folder / "no/such/folder/out.png").string()).find("does not exist"),
              std::string::npos);
    EXPECT_NE(message((folder / "out.tiff").string()).find("unknown image format"),
              std::string::npos);
    EXPECT_NE(message((folder / "noextension").string()).find("unknown image format"),
              std::string::npos);
    fs::create_directories(folder / "dir.png");
    EXPECT_NE(message((folder / "dir.png").string()).find("directory"), std::string::npos);
    EXPECT_EQ(filesInFolder(), 1u);  // only dir.png
    EXPECT_THROW(checkImagePath((folder / "x.jpg").string()), ImageWriteError);
    EXPECT_NO_THROW(checkImagePath((folder / "x.exr").string()));
}

TEST_F(ImageWriter, ReplacesAnExistingFileWhole) {
    const std::string path = (folder / "out.png").string();
    std::ofstream(path) << std::string(100000, 'x');
    writeImage(gradient(), path);
    EXPECT_LT(fs::file_size(path), 1000u);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    EXPECT_NE(png_image_begin_read_from_file(&png, path.c_str()), 0);
    png_image_free(&png);
    EXPECT_EQ(filesInFolder(), 1u);
}

}  // namespace
}  // namespace glitter::renderer
