#include "tests/support/chi_square.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <system_error>

namespace glitter {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
// A cell expected to receive fewer samples than this is taken as impossible. Even if every cell
// of the default histogram sat just below it, an honest sampler would put a sample into one of
// them with a chance of about 1e-5.
constexpr double kZeroExpectedCount = 1e-9;
// Directions computed in single precision are a few ulps off unit length; anything further off
// is a sampler bug rather than rounding.
constexpr double kUnitLengthTolerance = 1e-3;
constexpr int64_t kMaxCells = int64_t(1) << 20;
constexpr int kMaxSubCells = 64;
// Bounds the level-0 rects (cells × subCells²) and so the integrator's memory.
constexpr int64_t kMaxRects = int64_t(1) << 23;
// Cells with samples but no density are integrated once more, on this many rects per side,
// before the sampler is blamed; at most kMaxRecheckedCells of them.
constexpr int kRecheckSubCells = 64;
constexpr size_t kMaxRecheckedCells = 64;
constexpr int kMaxRefinement = 20;
// Series and continued fraction both converge in O(√a) steps; this bound is far above what any
// histogram here needs and only keeps a pathological argument from looping for long.
constexpr int kMaxGammaIterations = 1'000'000;

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string formatDirection(const double dir[3]) {
    return "(" + formatNumber(dir[0]) + ", " + formatNumber(dir[1]) + ", " + formatNumber(dir[2]) +
           ")";
}

uint64_t splitmix64(uint64_t state) {
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

// Output `position` of the splitmix64 stream whose state starts at the mixed seed.
uint64_t streamValue(uint64_t seed, uint64_t position) {
    const uint64_t start = splitmix64(seed + kGolden);
    return splitmix64(start + (position + 1) * kGolden);
}

// e^-x x^a / Γ(a), the common factor of the series and the continued fraction.
double gammaPrefactor(double a, double x) { return std::exp(a * std::log(x) - x - std::lgamma(a)); }

// P(a, x) by its power series; converges quickly for x < a + 1.
double gammaSeries(double a, double x) {
    double term = 1.0 / a;
    double sum = term;
    double ap = a;
    for (int n = 0; n < kMaxGammaIterations; ++n) {
        ap += 1.0;
        term *= x / ap;
        sum += term;
        if (std::fabs(term) <= std::fabs(sum) * std::numeric_limits<double>::epsilon()) {
            break;
        }
    }
    return sum * gammaPrefactor(a, x);
}

// Q(a, x) by its continued fraction (modified Lentz); converges quickly for x > a + 1.
double gammaContinuedFraction(double a, double x) {
    constexpr double kTiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < kMaxGammaIterations; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kTiny) {
            d = kTiny;
        }
        c = b + an / c;
        if (std::fabs(c) < kTiny) {
            c = kTiny;
        }
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) <= std::numeric_limits<double>::epsilon()) {
            break;
        }
    }
    return h * gammaPrefactor(a, x);
}

bool validArguments(double a, double x) {
    return std::isfinite(a) && a > 0.0 && !std::isnan(x) && x >= 0.0;
}

// Maps the row coordinate t in [0, 1] and φ to a direction; returns dω / (dt dφ).
double directionAt(ChiSquareRows rows, double t, double phi, double dir[3]) {
    double cosTheta;
    double sinTheta;
    double jacobian;
    if (rows == ChiSquareRows::Angle) {
        const double theta = kPi * t;
        cosTheta = std::cos(theta);
        sinTheta = std::sin(theta);
        jacobian = kPi * sinTheta;
    } else {
        cosTheta = 1.0 - 2.0 * t;
        sinTheta = std::sqrt(std::max(0.0, 1.0 - cosTheta * cosTheta));
        jacobian = 2.0;
    }
    dir[0] = sinTheta * std::cos(phi);
    dir[1] = sinTheta * std::sin(phi);
    dir[2] = cosTheta;
    return jacobian;
}

// Integrates the density over the histogram cells on a hierarchy of sub-cell grids. Level 0
// divides every cell into subCells × subCells rects. Each rect is integrated with 2 × 2
// Gauss–Legendre points and again as four quadrants (a 4 × 4 grid of points), and is split into
// those quadrants at the next level when either
// - the two estimates disagree by more than the tolerance (smooth but unresolved densities), or
// - two neighbouring points of the 4 × 4 grids, within the rect or across its edge with a
//   neighbouring rect, differ by so much that a step between them could shift the rect's
//   integral by more than the tolerance.
// The second test is what finds hard edges (cone rims, the horizon): two symmetric rules agree by
// accident whenever an edge runs near the middle of a rect, and an edge that slips between the
// last points of one rect and the first of the next is seen by neither rect alone.
class CellIntegrator {
  public:
    CellIntegrator(const DirectionDensity& density, const ChiSquareOptions& options,
                   detail::CellIntegrals& out)
        : density(density),
          options(options),
          out(out),
          subCells(uint64_t(options.subCells)),
          rows(uint64_t(options.thetaBins)),
          columns(uint64_t(options.phiBins)) {}

    void run() {
        out.probability.assign(rows * columns, 0.0);
        std::vector<Rect> active;
        active.reserve(rows * columns * subCells * subCells);
        for (uint64_t i = 0; i < rows * subCells; ++i) {
            for (uint64_t j = 0; j < columns * subCells; ++j) {
                const size_t cell = size_t((i / subCells) * columns + j / subCells);
                active.push_back({i, j, gaussAt(0, i, j), cell});
            }
        }
        // The error allowed per cell is a fraction of its expected count's standard deviation,
        // shared out over its rects in quadrature.
        const double samples = double(options.sampleCount);
        std::vector<double> tolerance(rows * columns, 0.0);
        for (const Rect& rect : active) {
            tolerance[rect.cell] += rect.value;
        }
        for (double& t : tolerance) {
            t = options.integrationTolerance * std::sqrt(std::max(samples * t, 1.0)) / samples /
                double(subCells);
        }

        std::vector<Rect> next;
        std::vector<Points> points;
        std::vector<double> jump;
        for (int level = 0;; ++level) {
            const uint64_t height = (rows * subCells) << level;
            const uint64_t width = (columns * subCells) << level;
            const size_t n = active.size();
            points.resize(n);
            jump.assign(n, 0.0);
            for (size_t k = 0; k < n; ++k) {
                evaluate(level, active[k].i, active[k].j, points[k]);
                jump[k] = points[k].innerJump();
            }
            for (size_t k = 0; k < n; ++k) {
                const Rect& rect = active[k];
                if (rect.i + 1 < height) {
                    if (const size_t m = find(active, rect.i + 1, rect.j); m != kNone) {
                        const double d = points[k].rowJump(points[m]);
                        jump[k] = std::max(jump[k], d);
                        jump[m] = std::max(jump[m], d);
                    }
                }
                if (const size_t m = find(active, rect.i, (rect.j + 1) % width); m != kNone) {
                    const double d = points[k].columnJump(points[m]);
                    jump[k] = std::max(jump[k], d);
                    jump[m] = std::max(jump[m], d);
                }
            }
            // A step between two neighbouring points moves at most about one point's share of
            // the rect, a sixteenth, from one side of the step to the other.
            const double pointShare = kTwoPi / (16.0 * double(height) * double(width));
            const double levelScale = std::ldexp(1.0, -level);
            next.clear();
            for (size_t k = 0; k < n; ++k) {
                const Rect& rect = active[k];
                const Points& p = points[k];
                const double fine = p.quadrant[0] + p.quadrant[1] + p.quadrant[2] + p.quadrant[3];
                const double allowed = tolerance[rect.cell] * levelScale;
                bool accept =
                    (std::fabs(fine - rect.value) <= allowed && jump[k] * pointShare <= allowed) ||
                    level >= options.maxRefinement;
                if (!accept && out.evaluations >= options.maxDensityEvaluations) {
                    out.budgetExhausted = true;
                    accept = true;
                }
                if (accept) {
                    out.probability[rect.cell] += fine;
                    out.error += std::fabs(fine - rect.value);
                    out.errorSquares += (fine - rect.value) * (fine - rect.value);
                    continue;
                }
                for (uint64_t q = 0; q < 4; ++q) {
                    next.push_back(
                        {2 * rect.i + (q >> 1), 2 * rect.j + (q & 1), p.quadrant[q], rect.cell});
                }
            }
            if (next.empty()) {
                break;
            }
            std::sort(next.begin(), next.end(), before);
            active.swap(next);
        }
    }

    // ∫pdf over one cell on a uniform perAxis × perAxis grid of rects.
    double integrateUniformly(size_t cell, int perAxis) {
        const double r = double(cell / columns);
        const double c = double(cell % columns);
        const double dt = 1.0 / (double(rows) * perAxis);
        const double dp = kTwoPi / (double(columns) * perAxis);
        double sum = 0.0;
        for (int a = 0; a < perAxis; ++a) {
            const double t0 = (r * perAxis + a) * dt;
            for (int b = 0; b < perAxis; ++b) {
                const double phi0 = (c * perAxis + b) * dp;
                sum += gauss(t0, t0 + dt, phi0, phi0 + dp);
            }
        }
        return sum;
    }

  private:
    struct Rect {
        uint64_t i;
        uint64_t j;
        double value;
        size_t cell;
    };

    // The integrand on a rect's 4 × 4 grid (row-major, rows along θ) and its four quadrants'
    // Gauss estimates, quadrant q being row half q >> 1 and column half q & 1.
    struct Points {
        std::array<double, 4> quadrant;
        std::array<float, 16> value;

        double innerJump() const {
            float d = 0.0f;
            for (int a = 0; a < 4; ++a) {
                for (int b = 0; b < 3; ++b) {
                    d = std::max(d, std::fabs(at(a, b) - at(a, b + 1)));
                    d = std::max(d, std::fabs(at(b, a) - at(b + 1, a)));
                }
            }
            return d;
        }
        // Against the rect after this one in θ.
        double rowJump(const Points& below) const {
            float d = 0.0f;
            for (int b = 0; b < 4; ++b) {
                d = std::max(d, std::fabs(at(3, b) - below.at(0, b)));
            }
            return d;
        }
        // Against the rect after this one in φ.
        double columnJump(const Points& right) const {
            float d = 0.0f;
            for (int a = 0; a < 4; ++a) {
                d = std::max(d, std::fabs(at(a, 3) - right.at(a, 0)));
            }
            return d;
        }
        float at(int a, int b) const { return value[size_t(a * 4 + b)]; }
    };

    static constexpr size_t kNone = ~size_t(0);

    static bool before(const Rect& a, const Rect& b) { return a.i != b.i ? a.i < b.i : a.j < b.j; }

    static size_t find(const std::vector<Rect>& sorted, uint64_t i, uint64_t j) {
        const auto found =
            std::lower_bound(sorted.begin(), sorted.end(), Rect{i, j, 0.0, 0}, before);
        return found != sorted.end() && found->i == i && found->j == j
                   ? size_t(found - sorted.begin())
                   : kNone;
    }

    void evaluate(int level, uint64_t i, uint64_t j, Points& p) {
        const double height = double((rows * subCells) << level);
        const double width = double((columns * subCells) << level);
        const double t0 = double(i) / height;
        const double phi0 = kTwoPi * double(j) / width;
        // Gauss nodes of the two halves of [0, 1].
        const double node = 0.5 / std::sqrt(3.0);
        const double offsets[4] = {0.5 * (0.5 - node), 0.5 * (0.5 + node), 0.5 * (1.5 - node),
                                   0.5 * (1.5 + node)};
        double sums[4] = {0.0, 0.0, 0.0, 0.0};
        for (int a = 0; a < 4; ++a) {
            const double t = t0 + offsets[a] / height;
            for (int b = 0; b < 4; ++b) {
                const double v = integrand(t, phi0 + kTwoPi * offsets[b] / width);
                p.value[size_t(a * 4 + b)] = float(v);
                sums[(a >> 1) * 2 + (b >> 1)] += v;
            }
        }
        // A quadrant's half-widths are a quarter of the rect's sides.
        const double weight = 1.0 / (4.0 * height) * kTwoPi / (4.0 * width);
        for (int q = 0; q < 4; ++q) {
            p.quadrant[size_t(q)] = sums[q] * weight;
        }
    }

    double integrand(double t, double phi) {
        double dir[3];
        const double jacobian = directionAt(options.rows, t, phi, dir);
        const double value = density(dir);
        ++out.evaluations;
        if (!(value >= 0.0) || !std::isfinite(value)) {
            if (!out.invalidDensity) {
                out.invalidDensity = true;
                out.invalidValue = value;
                out.invalidDirection = {dir[0], dir[1], dir[2]};
            }
            return 0.0;
        }
        return value * jacobian;
    }

    // Two-point Gauss–Legendre in each direction: exact for bicubic integrands, and it never
    // evaluates on a rect's edge, so the poles and a cut-off at the horizon are never sampled.
    double gauss(double t0, double t1, double phi0, double phi1) {
        const double ht = 0.5 * (t1 - t0);
        const double hp = 0.5 * (phi1 - phi0);
        const double mt = t0 + ht;
        const double mp = phi0 + hp;
        const double ot = ht / std::sqrt(3.0);
        const double op = hp / std::sqrt(3.0);
        const double sum = integrand(mt - ot, mp - op) + integrand(mt + ot, mp - op) +
                           integrand(mt - ot, mp + op) + integrand(mt + ot, mp + op);
        return sum * ht * hp;
    }

    // Rect (i, j) of level `level`; the grid has (rows × subCells) << level rows of rects and
    // (columns × subCells) << level columns, all exact in double.
    double gaussAt(int level, uint64_t i, uint64_t j) {
        const double height = double((rows * subCells) << level);
        const double width = double((columns * subCells) << level);
        return gauss(double(i) / height, double(i + 1) / height, kTwoPi * double(j) / width,
                     kTwoPi * double(j + 1) / width);
    }

    const DirectionDensity& density;
    const ChiSquareOptions& options;
    detail::CellIntegrals& out;
    const uint64_t subCells;
    const uint64_t rows;
    const uint64_t columns;
};

std::string validateOptions(const ChiSquareOptions& o) {
    if (o.sampleCount < 1) {
        return "sampleCount must be at least 1";
    }
    if (o.thetaBins < 1 || o.phiBins < 1 || int64_t(o.thetaBins) * o.phiBins > kMaxCells) {
        return "thetaBins and phiBins must be at least 1, with at most " +
               std::to_string(kMaxCells) + " cells";
    }
    if (o.subCells < 1 || o.subCells > kMaxSubCells ||
        int64_t(o.thetaBins) * o.phiBins * o.subCells * o.subCells > kMaxRects) {
        return "subCells must lie in [1, " + std::to_string(kMaxSubCells) + "], with at most " +
               std::to_string(kMaxRects) + " sub-cells in all";
    }
    if (o.maxRefinement < 0 || o.maxRefinement > kMaxRefinement) {
        return "maxRefinement must lie in [0, " + std::to_string(kMaxRefinement) + "]";
    }
    if (!(o.integrationTolerance > 0.0) || !std::isfinite(o.integrationTolerance)) {
        return "integrationTolerance must be positive and finite";
    }
    if (!(o.significance > 0.0 && o.significance < 1.0)) {
        return "significance must lie in (0, 1)";
    }
    if (o.testCount < 1) {
        return "testCount must be at least 1";
    }
    if (!(o.minExpectedCount > 0.0) || !std::isfinite(o.minExpectedCount)) {
        return "minExpectedCount must be positive and finite";
    }
    if (!(o.maxDensityExcess >= 0.0) || !std::isfinite(o.maxDensityExcess)) {
        return "maxDensityExcess must be non-negative and finite";
    }
    if (o.tableName.empty() || o.tableName.find_first_of("/\\") != std::string::npos) {
        return "tableName must be a non-empty file stem without path separators";
    }
    return {};
}

struct Tables {
    const ChiSquareOptions& options;
    const std::vector<double>& observed;
    const std::vector<double>& expected;
    uint64_t rejected;
    double expectedRejected;
};

bool writeTable(const std::filesystem::path& path, const std::string& heading,
                const std::vector<double>& values, int rows, int columns, int precision) {
    std::ofstream file(path);
    file << heading;
    file.precision(precision);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            file << (c == 0 ? "" : " ") << values[size_t(r) * size_t(columns) + size_t(c)];
        }
        file << '\n';
    }
    file.close();
    return bool(file);
}

// Writes both tables and appends their names (or why they are missing) to the message.
void dumpTables(const Tables& tables, ChiSquareResult& result) {
    namespace fs = std::filesystem;
    const ChiSquareOptions& o = tables.options;
    std::error_code error;
    const fs::path directory =
        o.dumpDirectory.empty() ? fs::current_path(error) : fs::path(o.dumpDirectory);
    if (!error) {
        fs::create_directories(directory, error);
    }
    if (error) {
        result.message +=
            " Could not write the tables to '" + directory.string() + "': " + error.message() + ".";
        return;
    }
    const std::string layout = "# " + std::to_string(o.thetaBins) + " rows (theta from 0 to pi, " +
                               (o.rows == ChiSquareRows::Angle ? "equal angle" : "equal cosine") +
                               ") x " + std::to_string(o.phiBins) +
                               " columns (phi from 0 to 2 pi)\n";
    const fs::path observedPath = directory / (o.tableName + "_observed.txt");
    const fs::path expectedPath = directory / (o.tableName + "_expected.txt");
    const bool wroteObserved = writeTable(observedPath,
                                          "# observed sample counts; rejected samples: " +
                                              std::to_string(tables.rejected) + "\n" + layout,
                                          tables.observed, o.thetaBins, o.phiBins, 17);
    const bool wroteExpected =
        writeTable(expectedPath,
                   "# expected sample counts (samples x integral of the density over the cell); "
                   "expected rejected: " +
                       formatNumber(tables.expectedRejected) + "\n" + layout,
                   tables.expected, o.thetaBins, o.phiBins, 10);
    if (!wroteObserved || !wroteExpected) {
        result.message += " Could not write the tables to '" + directory.string() + "'.";
        return;
    }
    result.observedFile = observedPath.string();
    result.expectedFile = expectedPath.string();
    result.message += " Tables: " + result.observedFile + ", " + result.expectedFile + ".";
}

std::string figures(const ChiSquareResult& r) {
    return std::to_string(r.sampleCount) + " samples, " + std::to_string(r.rejectedCount) +
           " rejected, density integral " + formatNumber(r.densityIntegral) +
           " (integration error ~" + formatNumber(r.integrationError * double(r.sampleCount)) +
           " samples, " + std::to_string(r.densityEvaluations) + " density evaluations)";
}

}  // namespace

std::array<double, 4> chiSquareUniforms(uint64_t sampleIndex, uint64_t seed) {
    std::array<double, 4> u;
    for (uint64_t k = 0; k < 4; ++k) {
        u[k] = double(streamValue(seed, 4 * sampleIndex + k) >> 11) * 0x1.0p-53;
    }
    return u;
}

std::array<float, 4> chiSquareUniformsFloat(uint64_t sampleIndex, uint64_t seed) {
    std::array<float, 4> u;
    for (uint64_t k = 0; k < 4; ++k) {
        u[k] = float(streamValue(seed, 4 * sampleIndex + k) >> 40) * 0x1.0p-24f;
    }
    return u;
}

double regularizedGammaP(double a, double x) {
    if (!validArguments(a, x)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (x == 0.0) {
        return 0.0;
    }
    if (std::isinf(x)) {
        return 1.0;
    }
    return x < a + 1.0 ? gammaSeries(a, x) : 1.0 - gammaContinuedFraction(a, x);
}

double regularizedGammaQ(double a, double x) {
    if (!validArguments(a, x)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (x == 0.0) {
        return 1.0;
    }
    if (std::isinf(x)) {
        return 0.0;
    }
    return x < a + 1.0 ? 1.0 - gammaSeries(a, x) : gammaContinuedFraction(a, x);
}

double chiSquarePValue(double statistic, double degreesOfFreedom) {
    return regularizedGammaQ(0.5 * degreesOfFreedom, 0.5 * statistic);
}

double sidakSignificance(double significance, int testCount) {
    // 1 − (1 − α)^(1/n) written to keep its digits when α is small and n large.
    return -std::expm1(std::log1p(-significance) / double(testCount));
}

namespace detail {

size_t chiSquareCell(const double dir[3], const ChiSquareOptions& options) {
    double t;
    if (options.rows == ChiSquareRows::Angle) {
        t = std::atan2(std::hypot(dir[0], dir[1]), dir[2]) / kPi;
    } else {
        t = 0.5 * (1.0 - std::clamp(dir[2], -1.0, 1.0));
    }
    double phi = std::atan2(dir[1], dir[0]);
    if (phi < 0.0) {
        phi += kTwoPi;
    }
    // t and φ / 2π lie in [0, 1] for any finite direction, so the products are in range; a value
    // of exactly 1 belongs to the last row or column.
    const int row = std::min(options.thetaBins - 1, int(t * options.thetaBins));
    const int column = std::min(options.phiBins - 1, int(phi / kTwoPi * options.phiBins));
    return size_t(row) * size_t(options.phiBins) + size_t(column);
}

CellIntegrals integrateCells(const DirectionDensity& density, const ChiSquareOptions& options) {
    CellIntegrals out;
    CellIntegrator(density, options, out).run();
    return out;
}

PooledStatistic pooledChiSquare(const std::vector<double>& observed,
                                const std::vector<double>& expected, double minExpected,
                                const std::vector<double>& extraVariance) {
    std::vector<size_t> order(expected.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return expected[a] < expected[b]; });
    const auto variance = [&](size_t i) {
        return expected[i] + (i < extraVariance.size() ? extraVariance[i] : 0.0);
    };

    PooledStatistic result;
    int cells = 0;
    double pooledObserved = 0.0;
    double pooledExpected = 0.0;
    double pooledVariance = 0.0;
    for (const size_t i : order) {
        if (expected[i] <= 0.0 && observed[i] == 0.0) {
            continue;
        }
        const bool poolOpen = result.pooledCells > 0 && pooledExpected < minExpected;
        if (expected[i] < minExpected || poolOpen) {
            pooledObserved += observed[i];
            pooledExpected += expected[i];
            pooledVariance += variance(i);
            ++result.pooledCells;
            continue;
        }
        const double difference = observed[i] - expected[i];
        result.statistic += difference * difference / variance(i);
        ++cells;
    }
    if (result.pooledCells > 0) {
        if (pooledExpected >= minExpected) {
            const double difference = pooledObserved - pooledExpected;
            result.statistic += difference * difference / pooledVariance;
            ++cells;
        } else {
            result.poolIgnored = true;
        }
    }
    // All the expected counts are known in advance: the only constraint is the total.
    result.degreesOfFreedom = cells - 1;
    return result;
}

}  // namespace detail

ChiSquareResult chiSquareTest(const DirectionSampler& sampler, const DirectionDensity& density,
                              const ChiSquareOptions& options) {
    ChiSquareResult result;
    result.sampleCount = options.sampleCount;
    if (const std::string problem = validateOptions(options); !problem.empty()) {
        result.message = "Invalid chi-square options: " + problem + ".";
        return result;
    }
    if (!sampler || !density) {
        result.message = "The chi-square test needs both a sampler and a density.";
        return result;
    }
    result.significance = sidakSignificance(options.significance, options.testCount);

    const size_t cellCount = size_t(options.thetaBins) * size_t(options.phiBins);
    std::vector<double> observed(cellCount, 0.0);
    // The first direction binned into each cell, to ask the density about if the cell turns
    // out to have none.
    std::vector<std::array<double, 3>> firstDirection(cellCount);
    for (uint64_t i = 0; i < options.sampleCount; ++i) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        double dir[3] = {nan, nan, nan};
        if (!sampler(i, dir)) {
            ++result.rejectedCount;
            continue;
        }
        const double length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
        if (!(std::fabs(length - 1.0) <= kUnitLengthTolerance)) {
            result.message = "Sample " + std::to_string(i) +
                             ": the sampler returned a direction that is not a finite unit "
                             "vector: " +
                             formatDirection(dir) + ".";
            return result;
        }
        for (double& component : dir) {
            component /= length;
        }
        const size_t cell = detail::chiSquareCell(dir, options);
        if (observed[cell] == 0.0) {
            firstDirection[cell] = {dir[0], dir[1], dir[2]};
        }
        observed[cell] += 1.0;
    }

    detail::CellIntegrals integrals;
    CellIntegrator integrator(density, options, integrals);
    integrator.run();
    const double samples = double(options.sampleCount);
    // A cell with samples and no density may hold a sliver of the density that every evaluation
    // point missed; look again, much more finely, before blaming the sampler.
    size_t rechecked = 0;
    for (size_t i = 0; i < cellCount && rechecked < kMaxRecheckedCells; ++i) {
        if (observed[i] > 0.0 && samples * integrals.probability[i] < kZeroExpectedCount) {
            integrals.probability[i] = integrator.integrateUniformly(i, kRecheckSubCells);
            ++rechecked;
        }
    }
    result.densityEvaluations = integrals.evaluations;
    result.densityIntegral =
        std::accumulate(integrals.probability.begin(), integrals.probability.end(), 0.0);
    result.integrationError = integrals.error;
    if (integrals.invalidDensity) {
        result.message = "The density returned " + formatNumber(integrals.invalidValue) +
                         " at direction " + formatDirection(integrals.invalidDirection.data()) +
                         "; a density must be finite and non-negative.";
        return result;
    }

    std::vector<double> expected(cellCount);
    for (size_t i = 0; i < cellCount; ++i) {
        expected[i] = samples * integrals.probability[i];
    }
    const double expectedRejected = samples * std::max(0.0, 1.0 - result.densityIntegral);
    const Tables tables{options, observed, expected, result.rejectedCount, expectedRejected};
    const std::string budgetNote =
        integrals.budgetExhausted
            ? " Refinement stopped at maxDensityEvaluations: the expected counts may be inexact."
            : "";

    // Samples in a cell without density are a fault of the sampler if the density is zero right
    // where they landed. Where it is not, the cell holds a sliver of density too thin for every
    // evaluation point (typically a rim clipping a corner): such cells keep their tiny expected
    // count and are pooled.
    uint64_t strayCount = 0;
    size_t strayCells = 0;
    size_t firstStray = cellCount;
    uint64_t slightCount = 0;
    size_t slightCells = 0;
    for (size_t i = 0; i < cellCount; ++i) {
        if (expected[i] >= kZeroExpectedCount || observed[i] == 0.0) {
            continue;
        }
        const double atSample = density(firstDirection[i].data());
        ++result.densityEvaluations;
        if (atSample > 0.0 && std::isfinite(atSample)) {
            slightCount += uint64_t(observed[i]);
            ++slightCells;
            continue;
        }
        strayCount += uint64_t(observed[i]);
        ++strayCells;
        firstStray = std::min(firstStray, i);
    }
    if (strayCells > 0) {
        const int row = int(firstStray / size_t(options.phiBins));
        const int column = int(firstStray % size_t(options.phiBins));
        result.message = std::to_string(strayCount) + " samples landed in " +
                         std::to_string(strayCells) +
                         " cells where the integrated density is zero, and the density is zero "
                         "at the first sample of each (first: row " +
                         std::to_string(row) + ", column " + std::to_string(column) +
                         ", direction " + formatDirection(firstDirection[firstStray].data()) +
                         "): the sampler draws directions the density calls impossible. " +
                         figures(result) + "." + budgetNote;
        dumpTables(tables, result);
        return result;
    }
    const std::string slightNote =
        slightCells == 0
            ? ""
            : " " + std::to_string(slightCount) + " samples fell in " +
                  std::to_string(slightCells) +
                  " cells where the integration found no density although the density is "
                  "positive at the samples; they were pooled (raise subCells if they are more "
                  "than a handful).";
    if (result.densityIntegral > 1.0 + options.maxDensityExcess) {
        result.message = "The density integrates to " + formatNumber(result.densityIntegral) +
                         " over the sphere, more than 1. " + figures(result) + "." + budgetNote +
                         slightNote;
        dumpTables(tables, result);
        return result;
    }

    std::vector<double> categoryObserved = observed;
    std::vector<double> categoryExpected = expected;
    std::vector<double> extraVariance;
    if (options.testRejectedFraction) {
        // The expected rejections carry the error of the whole integral, which adds up over
        // all cells although it is negligible in each: it widens the rejected cell's variance
        // (rect errors taken as independent), or a density that integrates to 1 would fail
        // whenever the integral came out a few parts in a million short.
        const double integralSpread = samples * std::sqrt(integrals.errorSquares);
        categoryObserved.push_back(double(result.rejectedCount));
        categoryExpected.push_back(expectedRejected);
        extraVariance.assign(cellCount, 0.0);
        extraVariance.push_back(integralSpread * integralSpread);
    }
    const detail::PooledStatistic pooled = detail::pooledChiSquare(
        categoryObserved, categoryExpected, options.minExpectedCount, extraVariance);
    result.statistic = pooled.statistic;
    result.degreesOfFreedom = pooled.degreesOfFreedom;
    if (pooled.degreesOfFreedom < 1) {
        result.message = "Too few cells with an expected count of at least " +
                         formatNumber(options.minExpectedCount) + " for a chi-square test (" +
                         std::to_string(pooled.degreesOfFreedom) +
                         " degrees of freedom): draw more samples or use fewer cells. " +
                         figures(result) + "." + budgetNote + slightNote;
        dumpTables(tables, result);
        return result;
    }
    result.pValue = chiSquarePValue(pooled.statistic, pooled.degreesOfFreedom);
    result.passed = std::isfinite(result.pValue) && result.pValue >= result.significance;
    result.message = std::string("Chi-square test ") + (result.passed ? "passed" : "failed") +
                     ": p-value " + formatNumber(result.pValue) + (result.passed ? " >= " : " < ") +
                     "significance " + formatNumber(result.significance) + " (statistic " +
                     formatNumber(result.statistic) + ", " +
                     std::to_string(result.degreesOfFreedom) + " degrees of freedom, " +
                     std::to_string(pooled.pooledCells) + " cells pooled" +
                     (pooled.poolIgnored ? " and ignored" : "") + "; " + figures(result) + ")." +
                     budgetNote + slightNote;
    if (!result.passed) {
        dumpTables(tables, result);
    }
    return result;
}

}  // namespace glitter
