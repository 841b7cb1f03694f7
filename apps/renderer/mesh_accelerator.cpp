#include "apps/renderer/mesh_accelerator.h"

#include <embree3/rtcore.h>

#include <limits>
#include <stdexcept>
#include <string>

namespace glitter::renderer {

struct MeshAccelerator::Handles {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
};

namespace {

void checkDevice(RTCDevice device, const char* what) {
    const RTCError error = rtcGetDeviceError(device);
    if (error != RTC_ERROR_NONE) {
        throw std::runtime_error(std::string("ray tracing kernel failed to ") + what +
                                 " (error " + std::to_string(static_cast<int>(error)) + ")");
    }
}

float toRayFloat(double value) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return static_cast<float>(value < kMax ? value : kMax);
}

}  // namespace

MeshAccelerator::MeshAccelerator() : handles(std::make_unique<Handles>()) {
    // One build thread, the caller's: the renderer's own threads are the only ones that
    // query, and no pool of Embree's own threads outlives the build (or confuses a race
    // detector that cannot see inside the library).
    handles->device = rtcNewDevice("threads=1,set_affinity=0");
    if (handles->device == nullptr) {
        throw std::runtime_error("could not create the ray tracing device");
    }
    handles->scene = rtcNewScene(handles->device);
    rtcSetSceneBuildQuality(handles->scene, RTC_BUILD_QUALITY_HIGH);
    checkDevice(handles->device, "create a scene");
}

MeshAccelerator::~MeshAccelerator() {
    if (handles->scene != nullptr) {
        rtcReleaseScene(handles->scene);
    }
    if (handles->device != nullptr) {
        rtcReleaseDevice(handles->device);
    }
}

void MeshAccelerator::add(const TriangleMesh& mesh) {
    RTCGeometry geometry = rtcNewGeometry(handles->device, RTC_GEOMETRY_TYPE_TRIANGLE);
    auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(
        geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float),
        mesh.positions.size()));
    auto* indices = static_cast<unsigned*>(
        rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                3 * sizeof(unsigned), mesh.triangles.size()));
    if (vertices == nullptr || indices == nullptr) {
        rtcReleaseGeometry(geometry);
        checkDevice(handles->device, "allocate mesh buffers");
        throw std::runtime_error("could not allocate mesh buffers");
    }
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const Vector p = mesh.positions[i].toVector();
        vertices[3 * i + 0] = p.x;
        vertices[3 * i + 1] = p.y;
        vertices[3 * i + 2] = p.z;
    }
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            indices[3 * i + k] = mesh.triangles[i][k];
        }
    }
    rtcCommitGeometry(geometry);
    const unsigned id = rtcAttachGeometry(handles->scene, geometry);
    rtcReleaseGeometry(geometry);
    checkDevice(handles->device, "add a mesh");
    if (id != static_cast<unsigned>(meshCount)) {
        throw std::runtime_error("unexpected mesh id from the ray tracing kernel");
    }
    ++meshCount;
}

void MeshAccelerator::commit() {
    rtcCommitScene(handles->scene);
    checkDevice(handles->device, "build the mesh hierarchy");
}

bool MeshAccelerator::intersect(const DVector& origin, const Vector& dir, double tMin,
                                double tMax, MeshHit& hit) const {
    if (meshCount == 0) {
        return false;
    }
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit query{};
    const Vector o = origin.toVector();
    query.ray.org_x = o.x;
    query.ray.org_y = o.y;
    query.ray.org_z = o.z;
    query.ray.dir_x = dir.x;
    query.ray.dir_y = dir.y;
    query.ray.dir_z = dir.z;
    query.ray.tnear = toRayFloat(tMin);
    query.ray.tfar = toRayFloat(tMax);
    query.ray.mask = 0xFFFFFFFFu;
    query.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    query.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(handles->scene, &context, &query);
    if (query.hit.geomID == RTC_INVALID_GEOMETRY_ID) {
        return false;
    }
    hit.meshIndex = static_cast<int>(query.hit.geomID);
    hit.triangle = query.hit.primID;
    hit.b1 = query.hit.u;
    hit.b2 = query.hit.v;
    hit.t = query.ray.tfar;
    return true;
}

bool MeshAccelerator::occluded(const DVector& origin, const Vector& dir, double tMin,
                               double tMax) const {
    if (meshCount == 0) {
        return false;
    }
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay query{};
    const Vector o = origin.toVector();
    query.org_x = o.x;
    query.org_y = o.y;
    query.org_z = o.z;
    query.dir_x = dir.x;
    query.dir_y = dir.y;
    query.dir_z = dir.z;
    query.tnear = toRayFloat(tMin);
    query.tfar = toRayFloat(tMax);
    query.mask = 0xFFFFFFFFu;
    rtcOccluded1(handles->scene, &context, &query);
    return query.tfar < 0.0f;
}

}  // namespace glitter::renderer
