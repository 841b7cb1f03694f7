#include "platform/host/scene_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/host/iload.h"
#include "platform/host/iparam_block2.h"
#include "platform/host/isave.h"

namespace host {

namespace {

constexpr USHORT kHeaderChunk = 0x0001;
constexpr USHORT kObjectsChunk = 0x0002;
constexpr USHORT kObjectChunk = 0x0003;
constexpr USHORT kClassChunk = 0x0004;
constexpr USHORT kRefsChunk = 0x0005;
constexpr USHORT kDataChunk = 0x0006;
constexpr USHORT kRootsChunk = 0x0007;


std::string describeClass(SClass_ID super, Class_ID id) {
    char text[80];
    std::snprintf(text, sizeof text, "super class 0x%x, class (0x%08x, 0x%08x)",
                  static_cast<unsigned>(super), static_cast<unsigned>(id.PartA()),
                  static_cast<unsigned>(id.PartB()));
    return text;
}

// Orders the objects so that every reference points to a later object (reverse post-order).
class ObjectOrder {
public:
    // Depth-first with an explicit stack, so a long chain of references cannot exhaust the
    // call stack.
    bool visit(ReferenceTarget* root, std::string& error) {
        if (root == nullptr || state_.count(root) != 0) return true;
        struct Frame {
            ReferenceTarget* target;
            int next;
        };
        std::vector<Frame> stack;
        if (!enter(root, error)) return false;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next < top.target->NumRefs()) {
                ReferenceTarget* child = top.target->GetReference(top.next++);
                if (child == nullptr) continue;
                const auto state = state_.find(child);
                if (state != state_.end()) {
                    if (state->second == kVisiting) {
                        error = "the references form a cycle";
                        return false;
                    }
                    continue;
                }
                if (!enter(child, error)) return false;
                stack.push_back({child, 0});
            } else {
                state_[top.target] = kDone;
                postOrder_.push_back(top.target);
                stack.pop_back();
            }
        }
        return true;
    }

    std::vector<ReferenceTarget*> objects() const {
        return {postOrder_.rbegin(), postOrder_.rend()};
    }

private:
    enum State { kVisiting, kDone };

    bool enter(ReferenceTarget* target, std::string& error) {
        if (state_.size() >= kMaxSceneObjects) {
            error = "the scene holds more than " + std::to_string(kMaxSceneObjects) + " objects";
            return false;
        }
        state_[target] = kVisiting;
        return true;
    }

    std::map<ReferenceTarget*, State> state_;
    std::vector<ReferenceTarget*> postOrder_;
};

struct LoadedObject {
    ReferenceTarget* object = nullptr;
    std::vector<std::int32_t> refs;
};

// Owns the objects made while loading until the scene takes them, so a failure leaks nothing.
class LoadSession {
public:
    LoadSession(std::span<const std::uint8_t> bytes, const ClassDirectory& classes)
        : in_(bytes, &classes), classes_(classes) {}
    ~LoadSession() {
        if (!wired_) {
            for (LoadedObject& o : objects_) o.object->DeleteThis();
        }
    }

    IOResult run(Scene& result) {
        IOResult r = IO_OK;
        while ((r = in_.OpenChunk()) == IO_OK) {
            switch (in_.CurChunkID()) {
                case kHeaderChunk:
                    if (readHeader() != IO_OK) return IO_ERROR;
                    break;
                case kObjectsChunk:
                    if (readObjects() != IO_OK) return IO_ERROR;
                    break;
                case kRootsChunk:
                    if (readRoots() != IO_OK) return IO_ERROR;
                    break;
                default:
                    break;
            }
            if (in_.CloseChunk() != IO_OK) return IO_ERROR;
        }
        if (r != IO_END) return IO_ERROR;
        if (!sawHeader_) return in_.Fail("the scene has no header");
        if (!sawObjects_) return in_.Fail("the scene has no object table");
        if (!sawRoots_) return in_.Fail("the scene has no root list");
        if (validateReferences() != IO_OK) return IO_ERROR;
        wire(result);
        return IO_OK;
    }

    const std::string& error() const { return in_.ErrorMessage(); }

private:
    IOResult readHeader() {
        if (sawHeader_) return in_.Fail("the scene has two headers");
        if (sawObjects_ || sawRoots_) return in_.Fail("the scene header is not the first chunk");
        sawHeader_ = true;
        std::uint32_t version = 0;
        if (in_.ReadU32(version) != IO_OK || in_.ReadU32(declaredObjects_) != IO_OK)
            return IO_ERROR;
        if (version != kSceneFormatVersion)
            return in_.Fail("unsupported scene format version " + std::to_string(version));
        if (declaredObjects_ > kMaxSceneObjects)
            return in_.Fail("the scene declares too many objects");
        return IO_OK;
    }

    IOResult readObjects() {
        if (!sawHeader_) return in_.Fail("the object table comes before the scene header");
        if (sawObjects_) return in_.Fail("the scene has two object tables");
        sawObjects_ = true;
        IOResult r = IO_OK;
        while ((r = in_.OpenChunk()) == IO_OK) {
            if (in_.CurChunkID() == kObjectChunk) {
                if (objects_.size() >= declaredObjects_)
                    return in_.Fail("more objects than the header declares");
                if (readObject() != IO_OK) return IO_ERROR;
            }
            if (in_.CloseChunk() != IO_OK) return IO_ERROR;
        }
        if (r != IO_END) return IO_ERROR;
        if (objects_.size() != declaredObjects_)
            return in_.Fail("fewer objects than the header declares");
        return IO_OK;
    }

    IOResult readObject() {
        const std::size_t index = objects_.size();
        const std::string label = "object " + std::to_string(index);
        // Class.
        if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kClassChunk)
            return in_.Fail(label + " does not start with its class");
        std::uint32_t super = 0, a = 0, b = 0;
        in_.ReadU32(super);
        in_.ReadU32(a);
        if (in_.ReadU32(b) != IO_OK || in_.CloseChunk() != IO_OK) return IO_ERROR;
        const Class_ID classId(a, b);
        ClassDesc* cd = classes_.Find(super, classId);
        if (cd == nullptr)
            return in_.Fail(label + " has an unknown class (" + describeClass(super, classId) +
                            ")");
        ReferenceTarget* object = cd->Create(true);
        if (object == nullptr) return in_.Fail(label + ": its class created nothing");
        objects_.push_back({object, {}});
        if (object->SuperClassID() != super || object->ClassID() != classId) {
            return in_.Fail(label + ": its class created an object of another class");
        }
        // References.
        if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kRefsChunk)
            return in_.Fail(label + " has no reference list");
        std::uint32_t count = 0;
        if (in_.ReadU32(count) != IO_OK) return IO_ERROR;
        if (count > kMaxObjectRefs) return in_.Fail(label + " has too many references");
        if (std::uint64_t{count} * 4 != in_.RemainingInChunk()) {
            return in_.Fail(label + ": the reference count does not match the chunk length");
        }
        std::vector<std::int32_t>& refs = objects_.back().refs;
        refs.resize(count);
        for (std::int32_t& ref : refs) {
            if (in_.ReadI32(ref) != IO_OK) return IO_ERROR;
            // Forward references only: the table is in dependency order, which also rules out
            // cycles.
            if (ref != -1 && (ref <= static_cast<std::int32_t>(index) ||
                              static_cast<std::uint32_t>(ref) >= declaredObjects_)) {
                return in_.Fail(label + " references object " + std::to_string(ref) +
                                ", which is not after it");
            }
        }
        if (in_.CloseChunk() != IO_OK) return IO_ERROR;
        // The object's own data.
        if (in_.OpenChunk() != IO_OK || in_.CurChunkID() != kDataChunk)
            return in_.Fail(label + " has no data chunk");
        const int depth = in_.Depth();
        if (object->Load(&in_) != IO_OK || in_.Failed())
            return in_.Fail(label + " could not load its data");
        if (in_.Depth() != depth) return in_.Fail(label + " left a chunk open while loading");
        if (in_.CloseChunk() != IO_OK) return IO_ERROR;
        if (object->NumRefs() != static_cast<int>(count)) {
            return in_.Fail(label + " stores " + std::to_string(count) +
                            " references but its class has " + std::to_string(object->NumRefs()));
        }
        return IO_OK;
    }

    IOResult readRoots() {
        if (!sawHeader_) return in_.Fail("the root list comes before the scene header");
        if (sawRoots_) return in_.Fail("the scene has two root lists");
        sawRoots_ = true;
        std::uint32_t count = 0;
        if (in_.ReadU32(count) != IO_OK) return IO_ERROR;
        if (count > declaredObjects_) return in_.Fail("more roots than objects");
        if (std::uint64_t{count} * 4 != in_.RemainingInChunk())
            return in_.Fail("the root count does not match the chunk length");
        roots_.resize(count);
        for (std::uint32_t& root : roots_) {
            if (in_.ReadU32(root) != IO_OK) return IO_ERROR;
            if (root >= declaredObjects_)
                return in_.Fail("a root names object " + std::to_string(root) +
                                ", which does not exist");
        }
        return IO_OK;
    }

    // Checks every reference before any is made, so a refusal leaves all objects unwired.
    IOResult validateReferences() {
        std::vector<bool> isRoot(objects_.size(), false);
        for (std::uint32_t root : roots_) {
            if (isRoot[root])
                return in_.Fail("object " + std::to_string(root) + " is listed twice as a root");
            isRoot[root] = true;
            if (dynamic_cast<MtlBase*>(objects_[root].object) == nullptr) {
                return in_.Fail("root object " + std::to_string(root) +
                                " is not a material or map");
            }
        }
        for (std::size_t i = 0; i < objects_.size(); ++i) {
            ReferenceTarget* object = objects_[i].object;
            for (std::size_t slot = 0; slot < objects_[i].refs.size(); ++slot) {
                const std::int32_t ref = objects_[i].refs[slot];
                if (ref == -1) continue;
                ReferenceTarget* target = objects_[static_cast<std::size_t>(ref)].object;
                const std::string label =
                    "object " + std::to_string(i) + " reference " + std::to_string(slot);
                // A slot the constructor filled keeps its class (and a block its description).
                if (ReferenceTarget* built = object->GetReference(static_cast<int>(slot));
                    built != nullptr) {
                    if (built->SuperClassID() != target->SuperClassID() ||
                        built->ClassID() != target->ClassID()) {
                        return in_.Fail(label + " holds an object of the wrong class");
                    }
                    auto* builtBlock = dynamic_cast<IParamBlock2*>(built);
                    auto* loadedBlock = dynamic_cast<IParamBlock2*>(target);
                    if (builtBlock != nullptr &&
                        (loadedBlock == nullptr ||
                         builtBlock->GetDesc() != loadedBlock->GetDesc())) {
                        return in_.Fail(label + " holds a parameter block of another description");
                    }
                }
                if (!object->AcceptsReference(static_cast<int>(slot), target)) {
                    return in_.Fail(label + " holds an object its owner does not accept");
                }
            }
        }
        return IO_OK;
    }

    void wire(Scene& result) {
        wired_ = true;
        for (LoadedObject& o : objects_) {
            for (std::size_t slot = 0; slot < o.refs.size(); ++slot) {
                if (o.refs[slot] != -1) {
                    o.object->ReplaceReference(
                        static_cast<int>(slot),
                        objects_[static_cast<std::size_t>(o.refs[slot])].object);
                }
            }
        }
        for (std::uint32_t root : roots_)
            result.AddMaterial(dynamic_cast<MtlBase*>(objects_[root].object));
        // Objects that nothing references are not part of the scene. Collect them first:
        // deleting one releases its references, which may delete objects later in the table.
        std::vector<ReferenceTarget*> unreferenced;
        for (LoadedObject& o : objects_) {
            if (o.object->NumDependents() == 0) unreferenced.push_back(o.object);
        }
        for (ReferenceTarget* object : unreferenced) object->DeleteThis();
    }

    ILoad in_;
    const ClassDirectory& classes_;
    std::vector<LoadedObject> objects_;
    std::vector<std::uint32_t> roots_;
    std::uint32_t declaredObjects_ = 0;
    bool sawHeader_ = false;
    bool sawObjects_ = false;
    bool sawRoots_ = false;
    bool wired_ = false;
};

}  // namespace

IOResult SaveScene(Scene& scene, std::vector<std::uint8_t>& bytes, std::string& error) {
    ObjectOrder order;
    for (int i = 0; i < scene.NumMaterials(); ++i) {
        if (!order.visit(scene.GetMaterial(i), error)) return IO_ERROR;
    }
    const std::vector<ReferenceTarget*> objects = order.objects();
    std::map<ReferenceTarget*, std::int32_t> indexOf;
    for (std::size_t i = 0; i < objects.size(); ++i)
        indexOf[objects[i]] = static_cast<std::int32_t>(i);

    ISave out(std::vector<std::uint8_t>(kSceneMagic.begin(), kSceneMagic.end()));
    out.BeginChunk(kHeaderChunk);
    out.WriteU32(kSceneFormatVersion);
    out.WriteU32(static_cast<std::uint32_t>(objects.size()));
    out.EndChunk();
    out.BeginChunk(kObjectsChunk);
    for (std::size_t i = 0; i < objects.size() && !out.Failed(); ++i) {
        ReferenceTarget* object = objects[i];
        if (object->NumRefs() < 0 ||
            static_cast<std::uint32_t>(object->NumRefs()) > kMaxObjectRefs) {
            out.Fail("object " + std::to_string(i) + " has too many references");
            break;
        }
        out.BeginChunk(kObjectChunk);
        out.BeginChunk(kClassChunk);
        out.WriteU32(object->SuperClassID());
        out.WriteU32(object->ClassID().PartA());
        out.WriteU32(object->ClassID().PartB());
        out.EndChunk();
        out.BeginChunk(kRefsChunk);
        out.WriteU32(static_cast<std::uint32_t>(object->NumRefs()));
        for (int r = 0; r < object->NumRefs(); ++r) {
            ReferenceTarget* target = object->GetReference(r);
            out.WriteI32(target == nullptr ? -1 : indexOf.at(target));
        }
        out.EndChunk();
        out.BeginChunk(kDataChunk);
        const int depth = out.Depth();
        if (object->Save(&out) != IO_OK)
            out.Fail("object " + std::to_string(i) + " could not save its data");
        if (!out.Failed() && out.Depth() != depth)
            out.Fail("object " + std::to_string(i) + " left a chunk open");
        out.EndChunk();
        out.EndChunk();
    }
    out.EndChunk();
    out.BeginChunk(kRootsChunk);
    out.WriteU32(static_cast<std::uint32_t>(scene.NumMaterials()));
    for (int i = 0; i < scene.NumMaterials(); ++i)
        out.WriteU32(static_cast<std::uint32_t>(indexOf.at(scene.GetMaterial(i))));
    out.EndChunk();
    if (out.Failed()) {
        error = out.ErrorMessage();
        return IO_ERROR;
    }
    bytes = out.TakeBytes();
    return IO_OK;
}

IOResult LoadScene(std::span<const std::uint8_t> bytes, const ClassDirectory& classes, Scene& scene,
                   std::string& error) {
    if (bytes.size() < kSceneMagic.size() ||
        !std::equal(kSceneMagic.begin(), kSceneMagic.end(), bytes.begin())) {
        error = "not a stored scene (wrong magic)";
        return IO_ERROR;
    }
    Scene loaded;
    {
        LoadSession session(bytes.subspan(kSceneMagic.size()), classes);
        if (session.run(loaded) != IO_OK) {
            error = session.error().empty() ? "the scene could not be loaded" : session.error();
            return IO_ERROR;
        }
    }
    scene.Clear();
    for (int i = 0; i < loaded.NumMaterials(); ++i) scene.AddMaterial(loaded.GetMaterial(i));
    return IO_OK;
}

IOResult SaveSceneFile(Scene& scene, const std::filesystem::path& path, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (SaveScene(scene, bytes, error) != IO_OK) return IO_ERROR;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        error = "cannot write " + path.string();
        return IO_ERROR;
    }
    return IO_OK;
}

IOResult LoadSceneFile(const std::filesystem::path& path, const ClassDirectory& classes,
                       Scene& scene, std::string& error) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && !std::filesystem::is_regular_file(status)) {
        error = path.string() + " is not a regular file";
        return IO_ERROR;
    }
    const std::uintmax_t size = ec ? 0 : std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot read " + path.string() + ": " + ec.message();
        return IO_ERROR;
    }
    if (size > kMaxSceneFileBytes) {
        error = path.string() + " has " + std::to_string(size) +
                " bytes, more than a stored scene may have (" +
                std::to_string(kMaxSceneFileBytes) + ")";
        return IO_ERROR;
    }
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        error = "cannot read " + path.string();
        return IO_ERROR;
    }
    return LoadScene(bytes, classes, scene, error);
}

}  // namespace host
