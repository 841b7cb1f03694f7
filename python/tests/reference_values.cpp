// Reference results for the Python package's tests, computed straight through the BSDF's
// renderer interface (set-up at a shading context, evalLight, spawnSampleContext and
// sampleDirection) without any of the package's code.
//
//   glitter_python_reference eval|sample [name=value ...] < input > output
//   glitter_python_reference exr FILE > output
//
// Input: a little-endian int64 count n, then n rows of float32: footprint (u, v, du_u, du_v,
// dv_u, dv_v), ray direction (3), then the light direction (3) or four uniforms. Output: rows of
// float32: value (3) and density for eval; direction (3), weight (3) and density for sample. exr
// writes the image's R, G, B floats row by row.
#include <OpenEXR/ImfArray.h>
#include <OpenEXR/ImfRgbaFile.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bsdf/bsdf_setup.h"

namespace {

using namespace glitter;
using KuvoUtils::Color;
using KuvoUtils::Vector;

class Context : public KuvoUtils::KuvoContext {
public:
    Vector uvw;
    float samples[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    std::unique_ptr<Context> child;
    Context() { shadingNormal = geometricNormal = {0.0f, 0.0f, 1.0f}; }
    Vector getUVWCoords(int) const override { return uvw; }
    KuvoUtils::UVWBasis getUVWBasis(int) const override {
        return {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    }
    float sampleValue(int dimension) override { return samples[dimension & 3]; }
    KuvoContext* newChildContext(int kind, const Color& filter, int flags,
                                 const Vector& normal) override {
        if (!child) child = std::make_unique<Context>();
        initChild(*child, kind, filter, flags, normal);
        return child.get();
    }
};

void setValue(CachedParameterValues& c, const std::string& arg) {
    const auto eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const double v = std::atof(arg.c_str() + eq + 1);
    if (name == "num_flakes") c.num_flakes = int32_t(v);
    else if (name == "hilight_glossiness") c.hilight_glossiness = float(v);
    else if (name == "blur_angle") c.blur_angle = float(v);
    else if (name == "random_hue") c.random_hue = int32_t(v);
    else if (name == "enable_flakes") c.enable_flakes = int32_t(v);
    else if (name == "blend_min") c.blend_min = float(v);
    else if (name == "blend_max") c.blend_max = float(v);
    else if (name == "flake_scale") c.flake_scale = float(v);
    else if (name == "texture_subdivs") c.texture_subdivs = int32_t(v);
    else {
        std::fprintf(stderr, "unknown parameter %s\n", name.c_str());
        std::exit(2);
    }
}

template <class T>
void run(bool eval, const CachedParameterValues& values, const std::vector<float>& in,
         std::int64_t n) {
    FlakeParams params{};
    params.init(values.num_flakes, FlakeParams::roughnessFromGlossiness(values.hilight_glossiness),
                FlakeParams::blurAngleRadians(values.blur_angle), values.texture_subdivs,
                values.random_saturation, values.saturation, values.random_lightness,
                values.lightness, values.blend_min, values.blend_max);
    std::atomic<int32_t> warned{1};
    const FlakeMaterialView view{&values, &params, nullptr, &warned, nullptr};
    const int width = eval ? 12 : 13;
    std::vector<float> out;
    for (std::int64_t i = 0; i < n; ++i) {
        const float* r = in.data() + i * width;
        Context c;
        c.uvw = {r[0], r[1], 0.0f};
        c.dPdx = {r[2], r[3], 0.0f};
        c.dPdy = {r[4], r[5], 0.0f};
        c.setRayDir({r[6], r[7], r[8]});
        DiscreteMicrofacetBSDF<T> bsdf;
        setupBSDF(view, c, bsdf, 0);
        if (eval) {
            const Vector l{r[9], r[10], r[11]};
            // With a light density far above the BSDF's the light weight is 1: half the value.
            const Color v = bsdf.evalLight(c, l, Color(1.0f, 1.0f, 1.0f), 0, 1e18f, kEvalFlagLights);
            float pdf = 0.0f;
            if (bsdf.inactive == 0) evalFlakes(bsdf.query, toLocal(bsdf.frameInverse, l), pdf);
            out.insert(out.end(), {v.r * 2.0f, v.g * 2.0f, v.b * 2.0f, pdf});
        } else {
            KuvoUtils::KuvoContext* child = bsdf.spawnSampleContext(c, 0, 0);
            if (child == nullptr) {
                out.insert(out.end(), {0, 0, 0, 0, 0, 0, 0});
                continue;
            }
            std::memcpy(c.child->samples, r + 9, 4 * sizeof(float));
            child->setRayDir({0.0f, 0.0f, 0.0f});
            bsdf.sampleDirection(c, *child, r[9]);
            const Color& w = child->colorWeight;
            out.insert(out.end(), {child->rayDir.x, child->rayDir.y, child->rayDir.z, w.r, w.g, w.b,
                                   child->density});
        }
    }
    std::fwrite(out.data(), sizeof(float), out.size(), stdout);
}

int dumpExr(const char* path) {
    Imf::InputFile file(path);
    const Imath::Box2i dw = file.header().dataWindow();
    const int w = dw.max.x - dw.min.x + 1, h = dw.max.y - dw.min.y + 1;
    std::vector<float> pixels(std::size_t(w) * std::size_t(h) * 3);
    Imf::FrameBuffer fb;
    char* base = reinterpret_cast<char*>(pixels.data()) -
                 (std::ptrdiff_t(dw.min.x) + std::ptrdiff_t(dw.min.y) * w) * 3 * std::ptrdiff_t(sizeof(float));
    const char* names[3] = {"R", "G", "B"};
    for (int c = 0; c < 3; ++c) {
        fb.insert(names[c], Imf::Slice(Imf::FLOAT, base + c * sizeof(float), 3 * sizeof(float),
                                       std::size_t(w) * 3 * sizeof(float)));
    }
    file.setFrameBuffer(fb);
    file.readPixels(dw.min.y, dw.max.y);
    std::fwrite(pixels.data(), sizeof(float), pixels.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argv[1];
    if (mode == "exr" && argc == 3) return dumpExr(argv[2]);
    if (mode != "eval" && mode != "sample") return 2;
    CachedParameterValues values;
    for (int i = 2; i < argc; ++i) setValue(values, argv[i]);
    std::int64_t n = 0;
    if (std::fread(&n, sizeof n, 1, stdin) != 1 || n < 0) return 2;
    const bool eval = mode == "eval";
    std::vector<float> in(std::size_t(n) * (eval ? 12 : 13));
    if (std::fread(in.data(), sizeof(float), in.size(), stdin) != in.size()) return 2;
    if (values.random_hue != 0) {
        run<Color>(eval, values, in, n);
    } else {
        run<float>(eval, values, in, n);
    }
    return 0;
}
