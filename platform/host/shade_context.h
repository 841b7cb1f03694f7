// The host's shading context: where and when a material or map is evaluated, and where its
// result goes. Concrete: a renderer fills it through the setters, or derives from it to carry
// data of its own (and reports its own class id).
#pragma once

#include <array>
#include <map>

#include "platform/host/class_id.h"
#include "platform/host/color.h"
#include "platform/host/interval.h"
#include "platform/host/point3.h"

namespace host {

/// Result of a material's Shade: colour, transparency and G-buffer id.
struct ShadeOutput {
    Color c;
    Color t;
    float ior = 1.0f;
    int gbufId = 0;
    void Reset() { *this = ShadeOutput(); }
};

class ShadeContext {
public:
    /// Highest map channel a context carries (channels 0 to 100).
    static constexpr int kMaxMapChannel = 100;

    ShadeContext() = default;
    ShadeContext(const ShadeContext&) = default;
    ShadeContext& operator=(const ShadeContext&) = default;
    virtual ~ShadeContext() = default;

    ShadeOutput out;
    int mode = 0;
    bool doMaps = true;
    bool filterMaps = true;
    bool shadow = false;
    bool backFace = false;
    int mtlNum = 0;
    int nLights = 0;

    /// Identity of the renderer that made the context; (0, 0) unless set.
    virtual Class_ID ClassID() { return classId_; }
    virtual TimeValue CurTime() { return time_; }
    virtual bool InMtlEditor() { return inMtlEditor_; }
    virtual int NodeID() { return nodeId_; }
    /// Shading point, view direction and normals, in the renderer's space.
    virtual Point3 P() { return point_; }
    virtual Point3 V() { return view_; }
    virtual Point3 Normal() { return normal_; }
    virtual Point3 OrigNormal() { return normal_; }
    virtual Point3 GNormal() { return geometricNormal_; }
    /// Point in object space.
    virtual Point3 PObj() { return objectPoint_; }
    /// UVW of a map channel, and its change over one pixel; zero for a channel not set.
    virtual Point3 UVW(int channel = 1);
    virtual Point3 DUVW(int channel = 1);
    /// Change of P per unit u, v and w of a channel; zero vectors for a channel not set.
    virtual void DPdUVW(Point3 dP[3], int channel = 1);
    virtual void SetGBufferID(int gbufId) { out.gbufId = gbufId; }

    void SetClassID(Class_ID id) { classId_ = id; }
    void SetTime(TimeValue t) { time_ = t; }
    void SetInMtlEditor(bool inEditor) { inMtlEditor_ = inEditor; }
    void SetNodeID(int id) { nodeId_ = id; }
    void SetPoint(const Point3& p) { point_ = p; }
    void SetView(const Point3& v) { view_ = v; }
    void SetNormal(const Point3& n) { normal_ = n; }
    void SetGNormal(const Point3& n) { geometricNormal_ = n; }
    void SetPObj(const Point3& p) { objectPoint_ = p; }
    /// Sets a channel's UVW and its pixel derivative; channels outside 0..100 are ignored.
    void SetUVW(int channel, const Point3& uvw, const Point3& duvw = Point3());
    void SetDPdUVW(int channel, const Point3 dP[3]);

private:
    struct Channel {
        Point3 uvw;
        Point3 duvw;
        std::array<Point3, 3> dpduvw{};
    };

    Class_ID classId_{0, 0};
    TimeValue time_ = 0;
    bool inMtlEditor_ = false;
    int nodeId_ = -1;
    Point3 point_;
    Point3 view_{0.0f, 0.0f, -1.0f};
    Point3 normal_{0.0f, 0.0f, 1.0f};
    Point3 geometricNormal_{0.0f, 0.0f, 1.0f};
    Point3 objectPoint_;
    std::map<int, Channel> channels_;
};

}  // namespace host
