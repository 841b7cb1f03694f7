// The extension module glitter._glitter: array checks and conversions around the material's
// C++ code. The public, documented API is the Python package (python/glitter/__init__.py).
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/renderer/cli_options.h"
#include "apps/renderer/image_writer.h"
#include "apps/renderer/parameter_setting.h"
#include "apps/plugin_loader/plugin_library.h"
#include "python/src/batch_bsdf.h"
#include "python/src/inprocess_render.h"
#include "python/src/param_table.h"

namespace py = pybind11;

namespace glitter::python {
namespace {

const char* kindName(ParamKind k) {
    switch (k) {
        case ParamKind::floatValue: return "float";
        case ParamKind::intValue: return "int";
        case ParamKind::boolValue: return "bool";
        case ParamKind::color: return "color";
        case ParamKind::map: return "map";
    }
    return "?";
}

py::list parameterList() {
    py::list out;
    for (const ParamInfo& p : parameterTable()) {
        py::dict d;
        d["name"] = p.name;
        d["kind"] = kindName(p.kind);
        if (p.kind == ParamKind::color) {
            d["default"] = py::make_tuple(p.defaultValue[0], p.defaultValue[1], p.defaultValue[2]);
        } else if (p.kind == ParamKind::map) {
            d["default"] = py::none();
        } else if (p.kind == ParamKind::boolValue) {
            d["default"] = p.defaultValue[0] != 0.0;
        } else if (p.kind == ParamKind::intValue) {
            d["default"] = static_cast<long long>(p.defaultValue[0]);
        } else {
            d["default"] = p.defaultValue[0];
        }
        if (!p.hasRange) {
            d["range"] = py::none();
        } else if (p.kind == ParamKind::floatValue || p.kind == ParamKind::color) {
            d["range"] = py::make_tuple(p.low, p.high);
        } else {
            d["range"] = py::make_tuple(static_cast<long long>(p.low), static_cast<long long>(p.high));
        }
        out.append(d);
    }
    return out;
}

// Values by name from Python: numbers, sequences of three numbers (colours), None or a
// truthy marker for a map.
std::vector<ParamValue> toValues(const py::dict& values) {
    std::vector<ParamValue> out;
    for (const auto& item : values) {
        ParamValue v{py::str(item.first), {0.0, 0.0, 0.0}};
        const py::handle x = item.second;
        if (x.is_none()) {
            v.value[0] = 0.0;
        } else if (py::isinstance<py::str>(x)) {
            const std::string s = py::str(x);
            v.value[0] = s == "none" ? 0.0 : 1.0;
        } else if (py::isinstance<py::sequence>(x)) {
            const py::sequence seq = py::reinterpret_borrow<py::sequence>(x);
            if (seq.size() != 3) {
                throw py::value_error(v.name + " takes three numbers (r, g, b)");
            }
            for (int c = 0; c < 3; ++c) v.value[c] = seq[std::size_t(c)].cast<double>();
        } else {
            v.value[0] = x.cast<double>();
        }
        out.push_back(v);
    }
    return out;
}

BatchMaterial toMaterial(const py::dict& values) {
    BatchMaterial m{cachedValues(toValues(values)), {}};
    if (m.values.mapping_type == kMappingTriplanar) {
        throw py::value_error(
            "mapping_type=1 (triplanar) projects object positions, which only render() has; "
            "evaluate, sample and flakes take texture coordinates (mapping_type=0)");
    }
    m.params = renderFlakeParams(m.values);
    return m;
}

// Checks a float32, C-contiguous array of rows of `width` floats: shape (width,) broadcasts
// to every element when `broadcast` is set, otherwise (n, width). Sets n from the first
// non-broadcast array (n stays 0 until one is seen).
Rows checkRows(const py::handle& obj, const char* name, std::size_t width, std::size_t& n,
               bool broadcast) {
    const std::string what = std::string(name);
    if (!py::isinstance<py::array>(obj)) {
        throw py::type_error(what + " must be a numpy array of float32, not " +
                             std::string(py::str(obj.get_type().attr("__name__"))));
    }
    const py::array a = py::reinterpret_borrow<py::array>(obj);
    if (!a.dtype().is(py::dtype::of<float>())) {
        throw py::type_error(what + " must have dtype float32, not " +
                             std::string(py::str(a.dtype())));
    }
    if (!(a.flags() & py::array::c_style)) {
        throw py::value_error(what + " must be C-contiguous (numpy.ascontiguousarray)");
    }
    const std::string shape = "(" + std::string(broadcast ? std::to_string(width) + ",) or (" : "") +
                              "n, " + std::to_string(width) + ")";
    Rows rows{static_cast<const float*>(a.data()), 0};
    std::size_t count = 0;
    if (a.ndim() == 1 && broadcast && std::size_t(a.shape(0)) == width) {
        count = 0;
    } else if (a.ndim() == 2 && std::size_t(a.shape(1)) == width) {
        count = std::size_t(a.shape(0));
        rows.rowStride = static_cast<std::ptrdiff_t>(width);
        if (n != 0 && count != n) {
            throw py::value_error(what + " has " + std::to_string(count) + " rows, expected " +
                                  std::to_string(n));
        }
        n = count;
    } else {
        std::string got = "(";
        for (py::ssize_t d = 0; d < a.ndim(); ++d) got += (d ? ", " : "") + std::to_string(a.shape(d));
        throw py::value_error(what + " must have shape " + shape + ", not " + got +
                              (a.ndim() == 1 ? ",)" : ")"));
    }
    const std::size_t total = count == 0 ? width : count * width;
    for (std::size_t i = 0; i < total; ++i) {
        if (!std::isfinite(rows.data[i])) {
            throw py::value_error(what + " holds a non-finite value (NaN or infinity) in row " +
                                  std::to_string(i / width));
        }
    }
    return rows;
}

// Rows of a batch: footprints and rays broadcast, the per-element array sets the count.
py::tuple evaluate(const py::dict& values, const py::handle& footprint, const py::handle& ray,
                   const py::handle& light, int threads) {
    const BatchMaterial m = toMaterial(values);
    std::size_t n = 0;
    const Rows l = checkRows(light, "light", 3, n, false);
    const Rows f = checkRows(footprint, "footprint", 6, n, true);
    const Rows r = checkRows(ray, "ray", 3, n, true);
    if (threads < 0) throw py::value_error("threads must be 0 (automatic) or more");
    py::array_t<float> value({py::ssize_t(n), py::ssize_t(3)});
    py::array_t<float> density{py::ssize_t(n)};
    EvalOutputs out{value.mutable_data(), density.mutable_data()};
    {
        py::gil_scoped_release release;
        evaluateBatch(m, n, f, r, l, out, threads);
    }
    return py::make_tuple(value, density);
}

py::tuple sample(const py::dict& values, const py::handle& footprint, const py::handle& ray,
                 const py::handle& uniforms, int threads) {
    const BatchMaterial m = toMaterial(values);
    std::size_t n = 0;
    const Rows u = checkRows(uniforms, "u", 4, n, false);
    const Rows f = checkRows(footprint, "footprint", 6, n, true);
    const Rows r = checkRows(ray, "ray", 3, n, true);
    if (threads < 0) throw py::value_error("threads must be 0 (automatic) or more");
    py::array_t<float> direction({py::ssize_t(n), py::ssize_t(3)});
    py::array_t<float> weight({py::ssize_t(n), py::ssize_t(3)});
    py::array_t<float> density{py::ssize_t(n)};
    SampleOutputs out{direction.mutable_data(), weight.mutable_data(), density.mutable_data()};
    {
        py::gil_scoped_release release;
        sampleBatch(m, n, f, r, u, out, threads);
    }
    return py::make_tuple(direction, weight, density);
}

template <class V>
py::array_t<float> toArray(const V& v, std::size_t rows, std::size_t width) {
    py::array_t<float> a = width == 1 ? py::array_t<float>(py::ssize_t(rows))
                                      : py::array_t<float>({py::ssize_t(rows), py::ssize_t(width)});
    if (!v.empty()) std::memcpy(a.mutable_data(), v.data(), v.size() * sizeof(float));
    return a;
}

py::dict flakes(const py::dict& values, const py::handle& footprint, const py::handle& ray) {
    const BatchMaterial m = toMaterial(values);
    std::size_t n = 0;
    const Rows f = checkRows(footprint, "footprint", 6, n, true);
    const Rows r = checkRows(ray, "ray", 3, n, true);
    if (n != 0) throw py::value_error("flakes takes one footprint and one ray");
    FoundFlakes found;
    {
        py::gil_scoped_release release;
        found = findFlakes(m, f[0], r[0]);
    }
    py::dict d;
    d["directions"] = toArray(found.direction, found.count, 3);
    d["weights"] = toArray(found.weight, found.count, 1);
    d["colors"] = toArray(found.color, found.count, 3);
    d["expected"] = found.expected;
    d["discrete"] = found.discrete;
    return d;
}

py::dict flakeParams(const py::dict& values) {
    const FlakeParams p = renderFlakeParams(cachedValues(toValues(values)));
    py::dict d;
    d["num_flakes"] = p.numFlakes;
    d["cos_blur_angle"] = p.cosBlurAngle;
    d["roughness"] = p.roughness;
    d["texture_subdivs"] = p.textureSubdivs;
    d["random_saturation"] = p.randomSaturation;
    d["saturation"] = p.saturation;
    d["random_lightness"] = p.randomLightness;
    d["lightness"] = p.lightness;
    d["blend_min"] = p.blendMin;
    d["blend_max"] = p.blendMax;
    return d;
}

py::array_t<float> render(const std::vector<std::string>& args, int frame,
                          const std::optional<std::array<int, 4>>& tile) {
    std::optional<renderer::PixelRect> rect;
    if (tile) {
        rect = renderer::PixelRect{(*tile)[0], (*tile)[1], (*tile)[2], (*tile)[3]};
    }
    std::optional<renderer::Image> rendered;
    {
        py::gil_scoped_release release;
        rendered.emplace(renderInProcess(args, frame, rect));
    }
    const renderer::Image& image = *rendered;
    const std::size_t w = std::size_t(image.width()), h = std::size_t(image.height());
    py::array_t<float> out({py::ssize_t(h), py::ssize_t(w), py::ssize_t(3)});
    float* dst = out.mutable_data();
    const auto& pixels = image.pixels();
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        dst[3 * i] = pixels[i].r;
        dst[3 * i + 1] = pixels[i].g;
        dst[3 * i + 2] = pixels[i].b;
    }
    return out;
}

// What a program that writes glitter_render's files needs of its command line: the parser's
// reading of the options, the frames' file names and the checks made before rendering.
py::dict renderOptions(const std::vector<std::string>& args) {
    const renderer::CliOptions options = renderer::parseCommandLine(args);
    py::dict d;
    d["frames"] = options.frames;
    d["width"] = options.width;
    d["height"] = options.height;
    d["output"] = options.output;
    d["material_file"] = options.material.materialFile;
    d["scene"] = options.scene;
    d["help"] = options.showHelp;
    std::vector<std::string> outputs;
    for (int frame = 0; frame < options.frames; ++frame) {
        outputs.push_back(renderer::frameOutputPath(options.output, frame, options.frames));
    }
    d["outputs"] = outputs;
    return d;
}

// The image writer of glitter_render, so that a file written from Python has its bytes.
void writeImage(const py::array_t<float, py::array::c_style | py::array::forcecast>& pixels,
                const std::string& path) {
    if (pixels.ndim() != 3 || pixels.shape(2) != 3 || pixels.shape(0) < 1 || pixels.shape(1) < 1 ||
        pixels.shape(0) > (1 << 20) || pixels.shape(1) > (1 << 20)) {
        throw std::invalid_argument("write_image takes a (height, width, 3) array");
    }
    renderer::Image image(static_cast<int>(pixels.shape(1)), static_cast<int>(pixels.shape(0)));
    const float* src = pixels.data();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x, src += 3) {
            image.at(x, y) = KuvoUtils::Color(src[0], src[1], src[2]);
        }
    }
    py::gil_scoped_release release;
    renderer::writeImage(image, path);
}

// The plug-in library leaves every host-layer function to the process that loads it. This
// module carries the host layer, but Python opened it with RTLD_LOCAL, where a later dlopen
// cannot see it; reopening the module's own file with RTLD_NOLOAD | RTLD_GLOBAL moves it
// into the global scope, once, without loading anything a second time.
void exportHostLayer() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&exportHostLayer), &info) == 0 || info.dli_fname == nullptr) {
        throw std::runtime_error("glitter: cannot find the extension module's own file");
    }
    if (dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL) == nullptr) {
        throw std::runtime_error(std::string("glitter: cannot export the host layer: ") + dlerror());
    }
}

}  // namespace
}  // namespace glitter::python

PYBIND11_MODULE(_glitter, m) {
    using namespace glitter::python;
    exportHostLayer();
    py::register_exception<glitter::renderer::UsageError>(m, "UsageError", PyExc_ValueError);
    py::register_exception<glitter::renderer::PluginError>(m, "PluginError", PyExc_RuntimeError);
    // Tried before PluginError, its base: a bad --set value is the caller's mistake.
    py::register_exception<glitter::renderer::SettingError>(m, "SettingError", PyExc_ValueError);
    py::register_exception<glitter::renderer::ImageWriteError>(m, "ImageWriteError", PyExc_OSError);
    m.doc() = "The glitter material's C++ code; use the glitter package, not this module.";
    m.def("parameters", &parameterList, "The block description's parameters.");
    m.def("flake_params", &flakeParams, py::arg("values"));
    m.def("check_parameters", [](const py::dict& values) { (void)cachedValues(toValues(values)); },
          py::arg("values"));
    m.def("evaluate", &evaluate, py::arg("values"), py::arg("footprint"), py::arg("ray"),
          py::arg("light"), py::arg("threads"));
    m.def("sample", &sample, py::arg("values"), py::arg("footprint"), py::arg("ray"),
          py::arg("u"), py::arg("threads"));
    m.def("flakes", &flakes, py::arg("values"), py::arg("footprint"), py::arg("ray"));
    m.def("render", &render, py::arg("args"), py::arg("frame"), py::arg("tile") = py::none());
    m.def("render_options", &renderOptions, py::arg("args"));
    m.def("check_image_path", &glitter::renderer::checkImagePath, py::arg("path"));
    m.def("write_image", &writeImage, py::arg("pixels"), py::arg("path"));
}
