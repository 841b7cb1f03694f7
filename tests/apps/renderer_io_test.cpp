// The renderer's images: written whole, EXR exact and PNG tone-mapped.
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <limits>

#include "apps/renderer/image_writer.h"
#include "apps/renderer/render_math.h"
#include "tests/support/program_run.h"

namespace glitter::renderer {
namespace {

using glitter::testing::ScratchFolder;

TEST(ImageWriter, ExrIsExactAndPngToneMappedBothReplacingWhole) {
    Image image(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            image.at(x, y) = Color(0.1f * x, 0.7f * y, x == 4 ? 37.5f : 1.0f / 3.0f);
        }
    }
    const ScratchFolder folder;
    const std::string exr = folder / "out.exr";
    const std::string png = folder.write("out.PNG", std::string(100000, 'x'));
    writeImage(image, exr);
    writeImage(image, png);
    EXPECT_EQ(folder.files(), (std::vector<std::string>{"out.PNG", "out.exr"}));  // no temporary
    // The private temporary file's mode does not stick to the image.
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(std::filesystem::status(exr).permissions(),
              static_cast<std::filesystem::perms>(0666 & ~mask));

    Imf::InputFile file(exr.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    ASSERT_EQ(window.max.x - window.min.x + 1, 5);
    ASSERT_EQ(window.max.y - window.min.y + 1, 3);
    std::vector<float> channels[3];
    Imf::FrameBuffer frame;
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(file.header().channels().findChannel(std::string(1, "RGB"[c]))->type, Imf::FLOAT);
        channels[c].resize(15);
        frame.insert(std::string(1, "RGB"[c]),
                     Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(channels[c].data()),
                                sizeof(float), 5 * sizeof(float)));
    }
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);

    png_image read{};
    read.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_file(&read, png.c_str()), 0) << read.message;
    ASSERT_EQ(read.width, 5u);
    ASSERT_EQ(read.height, 3u);
    read.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> bytes(PNG_IMAGE_SIZE(read));
    ASSERT_NE(png_image_finish_read(&read, nullptr, bytes.data(), 0, nullptr), 0);

    for (std::size_t i = 0; i < 15; ++i) {
        const Color& c = image.pixels()[i];
        const float rgb[3] = {c.r, c.g, c.b};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(channels[k][i], rgb[k]);
            EXPECT_EQ(bytes[3 * i + k], toneMapToSrgb8(rgb[k]));
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
        ASSERT_GE(toneMapToSrgb8(v), previous) << v;
        previous = toneMapToSrgb8(v);
    }
}

}  // namespace
}  // namespace glitter::renderer
