#include "apps/renderer/obj_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace glitter::renderer {

namespace {

// One corner of a face: indices into the file's lists, -1 where the corner has none.
struct Corner {
    std::int64_t vertex = -1;
    std::int64_t texCoord = -1;
    std::int64_t normal = -1;
};

class ObjReader {
  public:
    ObjReader(std::string_view text, const std::string& path, const ObjLimits& limits)
        : text_(text), where_("OBJ file '" + path + "'"), limits_(limits) {}

    TriangleMesh read();

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw SceneError(where_ + ", line " + std::to_string(line_) + ": " + what);
    }

    bool nextLine(std::string_view& line);
    static std::string_view nextToken(std::string_view& rest);
    float number(std::string_view token, const char* statement);
    void readNumbers(std::string_view rest, const char* statement, std::size_t fewest,
                     std::size_t most, std::vector<float>& into, std::size_t stored);
    std::int64_t index(std::string_view written, const char* what, const char* plural,
                       std::size_t definedSoFar, std::size_t total);
    void readFace(std::string_view rest);
    void triangulate();
    void addTriangle(std::size_t a, std::size_t b, std::size_t c);
    void countElements();

    std::string_view text_;
    std::string where_;
    ObjLimits limits_;
    std::size_t pos_ = 0;
    std::uint64_t line_ = 0;

    std::size_t totalVertices_ = 0;
    std::size_t totalTexCoords_ = 0;
    std::size_t totalNormals_ = 0;
    std::vector<float> vertices_;   // 3 per vertex
    std::vector<float> texCoords_;  // 2 per coordinate
    std::vector<float> normals_;    // 3 per normal

    std::vector<Corner> face_;
    std::vector<std::array<std::uint32_t, 3>> triangles_;
    std::vector<TexCoord> cornerTexCoords_;
    std::vector<Vector> cornerNormals_;
    std::vector<bool> triangleHasTexCoords_;
    bool anyNormal_ = false;
    bool anyTexCoord_ = false;
};

bool ObjReader::nextLine(std::string_view& line) {
    if (pos_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find_first_of("\r\n", pos_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    line = text_.substr(pos_, stop - pos_);
    pos_ = stop;
    if (pos_ < text_.size() && text_[pos_] == '\r') {
        ++pos_;
    }
    if (pos_ < text_.size() && text_[pos_] == '\n') {
        ++pos_;
    }
    ++line_;
    return true;
}

std::string_view ObjReader::nextToken(std::string_view& rest) {
    const std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    const std::size_t end = rest.find_first_of(" \t", start);
    const std::string_view token =
        rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    return token;
}

// The whole token must be a number whose single-precision value is finite: a reader that
// stopped at the first character it did not know would turn "abc" or "nan" into 0.
float ObjReader::number(std::string_view token, const char* statement) {
    std::string_view digits = token;
    if (digits.size() > 1 && digits[0] == '+' && digits[1] != '-') {
        digits.remove_prefix(1);
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    const float narrow = static_cast<float>(ec == std::errc() ? value : 0.0);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || !std::isfinite(value) ||
        !std::isfinite(narrow)) {
        fail(std::string(statement) + " has '" + std::string(token) +
             "', which is not a finite number");
    }
    return narrow;
}

void ObjReader::readNumbers(std::string_view rest, const char* statement, std::size_t fewest,
                            std::size_t most, std::vector<float>& into, std::size_t stored) {
    std::array<float, 8> values{};
    std::size_t count = 0;
    for (std::string_view token = nextToken(rest); !token.empty(); token = nextToken(rest)) {
        const float value = number(token, statement);
        if (count == most) {
            fail(std::string(statement) + " has more than " + std::to_string(most) + " numbers");
        }
        values[count++] = value;
    }
    if (count < fewest) {
        fail(std::string(statement) + " needs at least " + std::to_string(fewest) +
             " numbers, not " + std::to_string(count));
    }
    into.insert(into.end(), values.begin(), values.begin() + static_cast<std::ptrdiff_t>(stored));
}

// 1-based from the start of the file's list, or negative: counted back from the last one
// defined before this line. Checked against the real count as written, before it becomes an
// offset, so that no huge or negative number wraps into a valid one.
std::int64_t ObjReader::index(std::string_view written, const char* what, const char* plural,
                              std::size_t definedSoFar, std::size_t total) {
    std::int64_t value = 0;
    const auto [ptr, ec] = std::from_chars(written.data(), written.data() + written.size(), value);
    const bool number = ec != std::errc::invalid_argument && ptr == written.data() + written.size();
    if (!number) {
        fail("a face has '" + std::string(written) + "' where a " + what + " index belongs");
    }
    const bool inRange =
        ec == std::errc() &&
        (value > 0 ? static_cast<std::uint64_t>(value) <= total
                   : value < 0 && static_cast<std::uint64_t>(-(value + 1)) < definedSoFar);
    if (!inRange) {
        const std::string count = value < 0 && ec == std::errc()
                                      ? "only " + std::to_string(definedSoFar) + " before it"
                                      : std::to_string(total);
        fail("a face refers to " + std::string(what) + " " + std::string(written) +
             ", but the file has " + count + " " + plural);
    }
    return value > 0 ? value - 1 : static_cast<std::int64_t>(definedSoFar) + value;
}

void ObjReader::readFace(std::string_view rest) {
    face_.clear();
    for (std::string_view token = nextToken(rest); !token.empty(); token = nextToken(rest)) {
        if (face_.size() == ObjLimits::kMaxFaceCorners) {
            fail("a face has more than " + std::to_string(ObjLimits::kMaxFaceCorners) +
                 " corners");
        }
        std::array<std::string_view, 3> parts{};
        std::size_t count = 0;
        for (std::size_t start = 0;;) {
            const std::size_t slash = token.find('/', start);
            if (count == parts.size()) {
                fail("a face has '" + std::string(token) + "', more than vertex/uv/normal");
            }
            parts[count++] = token.substr(start, slash == std::string_view::npos
                                                     ? std::string_view::npos
                                                     : slash - start);
            if (slash == std::string_view::npos) {
                break;
            }
            start = slash + 1;
        }
        Corner corner;
        corner.vertex = index(parts[0], "vertex", "vertices", vertices_.size() / 3, totalVertices_);
        if (count > 1 && !parts[1].empty()) {
            corner.texCoord =
                index(parts[1], "texture coordinate", "texture coordinates",
                      texCoords_.size() / 2, totalTexCoords_);
        }
        if (count > 2 && !parts[2].empty()) {
            corner.normal = index(parts[2], "normal", "normals", normals_.size() / 3, totalNormals_);
        }
        face_.push_back(corner);
    }
    if (face_.size() < 3) {
        fail("a face needs at least 3 corners, not " + std::to_string(face_.size()));
    }
    if (triangles_.size() + face_.size() - 2 > limits_.maxElements) {
        fail("the mesh has more than " + std::to_string(limits_.maxElements) +
             " triangles; --mesh-limit raises the limit");
    }
    triangulate();
}

void ObjReader::addTriangle(std::size_t a, std::size_t b, std::size_t c) {
    std::array<std::uint32_t, 3> tri{};
    bool texOk = true;
    const std::array<std::size_t, 3> corners{a, b, c};
    for (std::size_t k = 0; k < 3; ++k) {
        const Corner& corner = face_[corners[k]];
        tri[k] = static_cast<std::uint32_t>(corner.vertex);
        if (corner.texCoord >= 0) {
            const auto t = static_cast<std::size_t>(corner.texCoord);
            cornerTexCoords_.push_back({texCoords_[2 * t], texCoords_[2 * t + 1]});
        } else {
            cornerTexCoords_.push_back({});
            texOk = false;
        }
        if (corner.normal >= 0) {
            const auto n = static_cast<std::size_t>(corner.normal);
            cornerNormals_.emplace_back(normals_[3 * n], normals_[3 * n + 1], normals_[3 * n + 2]);
            anyNormal_ = true;
        } else {
            cornerNormals_.emplace_back();
        }
    }
    anyTexCoord_ = anyTexCoord_ || texOk;
    triangleHasTexCoords_.push_back(texOk);
    triangles_.push_back(tri);
}

// Quads are split along their shorter diagonal, other convex faces fanned from the first
// corner; concave faces are cut ear by ear in the plane they face most.
void ObjReader::triangulate() {
    const std::size_t n = face_.size();
    if (n == 3) {
        addTriangle(0, 1, 2);
        return;
    }
    std::vector<DVector> p(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::size_t>(face_[i].vertex);
        p[i] = DVector(vertices_[3 * v], vertices_[3 * v + 1], vertices_[3 * v + 2]);
    }
    DVector normal(0.0, 0.0, 0.0);  // Newell's method
    for (std::size_t i = 0; i < n; ++i) {
        const DVector& a = p[i];
        const DVector& b = p[(i + 1) % n];
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    const double ax = std::fabs(normal.x);
    const double ay = std::fabs(normal.y);
    const double az = std::fabs(normal.z);
    std::vector<std::array<double, 2>> q(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (ax >= ay && ax >= az) {
            q[i] = {p[i].y, p[i].z};
        } else if (ay >= az) {
            q[i] = {p[i].z, p[i].x};
        } else {
            q[i] = {p[i].x, p[i].y};
        }
    }
    double area = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto& a = q[i];
        const auto& b = q[(i + 1) % n];
        area += a[0] * b[1] - b[0] * a[1];
    }
    const double orientation = area < 0.0 ? -1.0 : 1.0;
    auto turn = [&](std::size_t a, std::size_t b, std::size_t c) {
        return orientation * ((q[b][0] - q[a][0]) * (q[c][1] - q[a][1]) -
                              (q[b][1] - q[a][1]) * (q[c][0] - q[a][0]));
    };
    bool convex = true;
    for (std::size_t i = 0; i < n && convex; ++i) {
        convex = turn(i, (i + 1) % n, (i + 2) % n) >= 0.0;
    }
    if (convex) {
        if (n == 4) {
            const DVector d02 = p[2] - p[0];
            const DVector d13 = p[3] - p[1];
            if (dot(d02, d02) < dot(d13, d13)) {
                addTriangle(0, 1, 2);
                addTriangle(0, 2, 3);
            } else {
                addTriangle(0, 1, 3);
                addTriangle(1, 2, 3);
            }
        } else {
            for (std::size_t i = 1; i + 1 < n; ++i) {
                addTriangle(0, i, i + 1);
            }
        }
        return;
    }
    std::vector<std::size_t> ring(n);
    for (std::size_t i = 0; i < n; ++i) {
        ring[i] = i;
    }
    auto isEar = [&](std::size_t at) {
        const std::size_t m = ring.size();
        const std::size_t a = ring[(at + m - 1) % m];
        const std::size_t b = ring[at];
        const std::size_t c = ring[(at + 1) % m];
        if (turn(a, b, c) <= 0.0) {
            return false;
        }
        for (std::size_t other : ring) {
            if (other == a || other == b || other == c) {
                continue;
            }
            if (turn(a, b, other) >= 0.0 && turn(b, c, other) >= 0.0 &&
                turn(c, a, other) >= 0.0) {
                return false;
            }
        }
        return true;
    };
    std::size_t at = 0;
    std::size_t misses = 0;
    while (ring.size() > 3) {
        const std::size_t m = ring.size();
        // A face that crosses itself may have no ear left: cut one anyway, so it ends.
        if (isEar(at) || misses >= m) {
            addTriangle(ring[(at + m - 1) % m], ring[at], ring[(at + 1) % m]);
            ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(at));
            at = at == 0 ? ring.size() - 1 : at - 1;
            misses = 0;
        } else {
            at = (at + 1) % m;
            ++misses;
        }
    }
    addTriangle(ring[0], ring[1], ring[2]);
}

// Positive indices may point past the current line, so the lists' totals come first.
void ObjReader::countElements() {
    std::string_view line;
    while (nextLine(line)) {
        std::string_view rest = line;
        const std::string_view statement = nextToken(rest);
        std::size_t* count = statement == "v"    ? &totalVertices_
                             : statement == "vt" ? &totalTexCoords_
                             : statement == "vn" ? &totalNormals_
                                                 : nullptr;
        if (count != nullptr && ++*count > limits_.maxElements) {
            fail("the mesh has more than " + std::to_string(limits_.maxElements) + " " +
                 (count == &totalVertices_    ? "vertices"
                  : count == &totalTexCoords_ ? "texture coordinates"
                                              : "normals") +
                 "; --mesh-limit raises the limit");
        }
    }
    pos_ = 0;
    line_ = 0;
}

TriangleMesh ObjReader::read() {
    countElements();
    vertices_.reserve(3 * totalVertices_);
    texCoords_.reserve(2 * totalTexCoords_);
    normals_.reserve(3 * totalNormals_);
    std::string_view line;
    while (nextLine(line)) {
        std::string_view rest = line;
        const std::string_view statement = nextToken(rest);
        if (statement == "v") {
            readNumbers(rest, "a vertex", 3, 7, vertices_, 3);  // x y z [w] or x y z r g b
        } else if (statement == "vt") {
            readNumbers(rest, "a texture coordinate", 1, 3, texCoords_, 2);
        } else if (statement == "vn") {
            readNumbers(rest, "a normal", 3, 3, normals_, 3);
        } else if (statement == "f") {
            readFace(rest);
        }
        // Everything else (groups, smoothing, materials, lines, comments) does not shape
        // the surface: the renderer assigns its own material.
    }
    if (triangles_.empty()) {
        throw SceneError(where_ + " holds no triangle");
    }
    TriangleMesh mesh;
    mesh.positions.reserve(totalVertices_);
    for (std::size_t i = 0; i < totalVertices_; ++i) {
        mesh.positions.emplace_back(vertices_[3 * i], vertices_[3 * i + 1], vertices_[3 * i + 2]);
    }
    mesh.triangles = std::move(triangles_);
    if (anyTexCoord_) {
        // Triangles without coordinates get the placeholder ones, as when the file has none.
        static constexpr TexCoord kPlaceholder[3] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
        for (std::size_t t = 0; t < triangleHasTexCoords_.size(); ++t) {
            if (!triangleHasTexCoords_[t]) {
                for (std::size_t k = 0; k < 3; ++k) {
                    cornerTexCoords_[3 * t + k] = kPlaceholder[k];
                }
            }
        }
        mesh.cornerTexCoords = std::move(cornerTexCoords_);
    }
    if (anyNormal_) {
        mesh.cornerNormals = std::move(cornerNormals_);
    }
    return mesh;
}

}  // namespace

TriangleMesh parseObj(std::string_view text, const std::string& path, const ObjLimits& limits) {
    return ObjReader(text, path, limits).read();
}

TriangleMesh loadObj(const std::string& path, const ObjLimits& limits) {
    const std::string where = "OBJ file '" + path + "'";
    // Non-blocking, so that opening a FIFO cannot hang; only a regular file has a size that
    // says how much there is to read.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw SceneError("cannot read " + where + ": " + std::strerror(errno));
    }
    struct stat info {};
    std::string text;
    std::string problem;
    if (fstat(fd, &info) != 0) {
        problem = "cannot read " + where + ": " + std::strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        problem = where + " is a directory";
    } else if (!S_ISREG(info.st_mode)) {
        problem = where + " is not a regular file";
    } else if (static_cast<std::uint64_t>(info.st_size) > limits.maxFileBytes()) {
        problem = where + " has " + std::to_string(info.st_size) + " bytes, more than " +
                  std::to_string(limits.maxFileBytes()) + "; --mesh-limit raises the limit";
    } else {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                if (n < 0) {
                    problem = "cannot read " + where + ": " + std::strerror(errno);
                }
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        text.resize(done);  // a file that shrank while being read
    }
    close(fd);
    if (!problem.empty()) {
        throw SceneError(problem);
    }
    return parseObj(text, path, limits);
}

}  // namespace glitter::renderer
