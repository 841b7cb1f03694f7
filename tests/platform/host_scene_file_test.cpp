// Stored scenes: a round trip, and a refusal (scene untouched, nothing left behind) for every kind
// of damaged or hostile file; the chunk writer and reader under them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/scene_file.h"
#include "tests/platform/host_sample_scene.h"

namespace host {
namespace {

using namespace testing;

// A top-level chunk of a saved scene (after the 8-byte magic).
RawChunk topChunk(const Bytes& b, std::uint16_t id) {
    for (const RawChunk& c : children(b, 8, b.size()))
        if (c.id == id) return c;
    throw std::runtime_error("no such chunk");
}

// `out` followed by container chunk headers nested `levels` deep, each holding the next and nothing else.
Bytes nestedChunks(std::uint16_t id, int levels, Bytes out = {}) {
    for (int i = 0; i < levels; ++i) {
        out.insert(out.end(), {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 1, 0, 0, 0, 0, 0});
        writeU32(out, out.size() - 4, static_cast<std::uint32_t>(8 * (levels - 1 - i)));
    }
    return out;
}

// Each stored object is a class chunk, a refs chunk and a data chunk.
enum ObjectPart { kClass, kRefs, kData };

class HostSceneFile : public ::testing::Test {
protected:
    std::vector<RawChunk> object(std::size_t i) const {
        const RawChunk objects = topChunk(bytes, 0x0002);
        const RawChunk o = children(bytes, objects.payload(), objects.end()).at(i);
        return children(bytes, o.payload(), o.end());
    }
    std::size_t at(std::size_t i, ObjectPart part) const { return object(i).at(part).payload(); }
    Class_ID classOf(std::size_t i) const {
        return Class_ID(readU32(bytes, at(i, kClass) + 4), readU32(bytes, at(i, kClass) + 8));
    }

    // The index of the nth stored object of a class.
    std::uint32_t findObject(Class_ID id, int nth = 0) const {
        for (std::uint32_t i = 0; i < readU32(bytes, 8 + 8 + 4); ++i)
            if (classOf(i) == id && nth-- == 0) return i;
        throw std::runtime_error("no such object");
    }

    // Where a distinctive stored value sits (it must occur once).
    std::size_t findPattern(const void* pattern) const {
        const auto* p = static_cast<const std::uint8_t*>(pattern);
        const auto it = std::search(bytes.begin(), bytes.end(), p, p + 4);
        if (it == bytes.end()) throw std::runtime_error("pattern not found");
        EXPECT_EQ(std::search(it + 1, bytes.end(), p, p + 4), bytes.end()) << "pattern is not unique";
        return static_cast<std::size_t>(it - bytes.begin());
    }

    // The sample scene with one little-endian word overwritten.
    Bytes patched(std::size_t pos, std::uint32_t v) const {
        Bytes b = bytes;
        writeU32(b, pos, v);
        return b;
    }

    // A refused load must leave the target scene as it was and nothing alive that was not.
    void expectRefused(const Bytes& data, const std::string& needle) {
        SCOPED_TRACE(needle);
        Scene scene;
        auto* keep = new TestMtl();
        keep->SetName(u"keep");
        scene.AddMaterial(keep);
        const int live = TestMtl::live;
        std::string error;
        EXPECT_EQ(LoadScene(data, testClassDirectory(), scene, error), IO_ERROR);
        EXPECT_NE(error.find(needle), std::string::npos) << "error: " << error;
        EXPECT_EQ(TestMtl::live, live);
        ASSERT_EQ(scene.NumMaterials(), 1);
        EXPECT_EQ(scene.GetMaterial(0), keep);
        EXPECT_EQ(keep->GetName(), u"keep");
    }

    Bytes bytes = sampleSceneBytes();
};

TEST_F(HostSceneFile, RoundTripThroughAFileKeepsValuesKeysMapsAndNames) {
    const auto path = std::filesystem::temp_directory_path() / "glitter_host_scene_test.glsc";
    Scene original, loaded;
    buildSampleScene(original);
    std::string error;
    ASSERT_EQ(SaveSceneFile(original, path, error), IO_OK) << error;
    ASSERT_EQ(LoadSceneFile(path, testClassDirectory(), loaded, error), IO_OK) << error;
    std::filesystem::remove(path);
    EXPECT_EQ(LoadSceneFile(path, testClassDirectory(), loaded, error), IO_ERROR);
    ASSERT_EQ(loaded.NumMaterials(), 3);
    auto* first = dynamic_cast<TestMtl*>(loaded.GetMaterial(0));
    auto* second = dynamic_cast<TestMtl*>(loaded.GetMaterial(1));
    ASSERT_TRUE(first && second && dynamic_cast<ConstantTexmap*>(loaded.GetMaterial(2)));
    EXPECT_EQ(first->pblock->GetOwner(), first);
    auto* map = dynamic_cast<CheckerTexmap*>(first->pblock->GetTexmap(TestMtl::kMap));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(second->pblock->GetTexmap(TestMtl::kMap), map) << "a shared map stays shared";
    EXPECT_EQ(std::tuple(first->GetName(), first->GetGBufID(), map->GetName()),
              std::tuple(WStr(u"first \u00e9\U0001F600"), 7, WStr(u"shared checker")));
    IParamBlock2& a = *first->pblock;
    EXPECT_EQ(std::tuple(a.GetFloat(TestMtl::kGloss), a.GetFloat(TestMtl::kScale), a.GetColor(TestMtl::kTint, 100)),
              std::tuple(kSampleGloss, -7.5f, Color(1.0f, 0.75f, 0.5f)));
    EXPECT_EQ(std::tuple(a.GetInt(TestMtl::kCount, 2222), a.GetInt(TestMtl::kEnabled, 30), a.GetInt(TestMtl::kMode)),
              std::tuple(60, 1, 1));
    EXPECT_EQ(map->pblock->GetFloat(CheckerTexmap::kTiling, 25), 5.0f);
    EXPECT_EQ(saved(loaded), bytes) << "all the rest: a loaded scene saves back to the same bytes";
}

TEST_F(HostSceneFile, RefusesDamagedAndHostileFiles) {
    const RawChunk roots = topChunk(bytes, 0x0007);
    const RawChunk cls = object(0)[kClass], data = object(1)[kData];
    const std::uint32_t kindAndReserved = readU32(bytes, cls.header);
    const std::size_t gloss = findPattern(&kSampleGloss);
    const std::size_t firstKey = findPattern(&kSampleKeyTimes[0]);
    // Table order is reversed: the first material is the second of its class.
    const std::uint32_t first = findObject(TestMtl::kClassID, 1);
    const std::uint32_t second = findObject(TestMtl::kClassID, 0);
    const std::uint32_t firstBlock = first + 1;
    ASSERT_EQ(classOf(firstBlock), kParamBlock2ClassID);
    ASSERT_LT(second, first);
    Bytes extra = bytes;
    extra.push_back(0);
    const std::pair<Bytes, const char*> damaged[] = {
        {{}, "wrong magic"},
        {{'G', 'L', 'T'}, "wrong magic"},
        {patched(0, readU32(bytes, 0) ^ 0x10), "wrong magic"},
        {Bytes(bytes.begin(), bytes.begin() + 8), "no header"},
        {patched(8 + 8, 2), "version 2"},
        // Lengths past the end, and chunk headers that do not parse.
        {patched(topChunk(bytes, 0x0002).header + 4, 0xfffffff0u), "claims 4294967280 bytes"},
        {patched(data.header + 4, data.length + 1), "remain"},
        {extra, "truncated chunk header"},
        {patched(cls.header, kindAndReserved | 0x01000000u), "reserved byte"},
        {patched(cls.header, (kindAndReserved & 0xff00ffffu) | 0x00020000u), "unknown kind"},
        {nestedChunks(0x0009, 10000, Bytes(kSceneMagic.begin(), kSceneMagic.end())), "no header"},
        // Huge or inconsistent counts.
        {patched(8 + 8 + 4, 0xffffffffu), "too many objects"},
        {patched(8 + 8 + 4, readU32(bytes, 8 + 8 + 4) + 1), "fewer objects than the header declares"},
        {patched(at(0, kRefs), 0x7fffffffu), "too many references"},
        {patched(at(0, kRefs), 2), "reference count does not match"},
        {patched(roots.payload(), 0x40000000u), "more roots than objects"},
        {patched(firstKey - 4, 100000), "key count does not match"},
        {patched(firstKey - 4, 0xffffffffu), "too many keys"},
        // Unknown classes and types: a value follows its chunk header (8) and head chunk (8 + id + type).
        {patched(cls.payload() + 4, 0xdeadbeefu), "unknown class"},
        {patched(gloss - 8 - 4, 3), "stored with type 3"},
        {patched(gloss, 0x7fc00000u), "not a number"},
        {patched(findPattern(&kSampleKeyTimes[1]), 1000), "out of time order"},
        // References that break the graph.
        {patched(at(firstBlock, kRefs) + 4, firstBlock), "which is not after it"},
        {patched(at(firstBlock, kRefs) + 4, first), "which is not after it"},
        {patched(at(firstBlock, kRefs) + 4, 1000), "which is not after it"},
        {patched(at(first, kRefs) + 4, findObject(CheckerTexmap::kClassID)), "wrong class"},
        {patched(at(second + 1, kRefs) + 4, first), "does not accept"},  // a material for a map
        {patched(roots.payload() + 8, readU32(bytes, roots.payload() + 4)), "listed twice as a root"},
        {patched(roots.payload() + 4, findObject(kParamBlock2ClassID)), "not a material or map"},
        {patched(roots.payload() + 4, 99), "does not exist"},
    };
    for (const auto& [damagedBytes, needle] : damaged) expectRefused(damagedBytes, needle);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        expectRefused(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)), "");
    }

    // An out-of-range stored value (1e6) is clamped, not refused.
    Scene loaded;
    std::string error;
    ASSERT_EQ(LoadScene(patched(gloss, 0x49742400u), testClassDirectory(), loaded, error), IO_OK) << error;
    EXPECT_EQ(static_cast<TestMtl*>(loaded.GetMaterial(0))->pblock->GetFloat(TestMtl::kGloss), 10.0f);
}

TEST(HostChunkIO, RefusesMisuseAndReadsPastAChunkButNotPastTheDepthLimit) {
    ISave a;
    a.BeginChunk(1);
    a.WriteU32(1);
    EXPECT_EQ(a.BeginChunk(2), IO_ERROR);
    EXPECT_NE(a.ErrorMessage().find("inside data chunk"), std::string::npos);
    EXPECT_EQ(a.EndChunk(), IO_ERROR) << "errors are sticky";
    ISave b;
    b.BeginChunk(1);
    b.BeginChunk(2);
    b.EndChunk();
    EXPECT_EQ(b.WriteU32(1), IO_ERROR);
    EXPECT_EQ(std::pair(ISave().WriteU8(1), ISave().EndChunk()), std::pair(IO_ERROR, IO_ERROR));
    ISave deep;
    for (int i = 0; i <= kMaxChunkDepth; ++i) deep.BeginChunk(0x0003);
    EXPECT_NE(deep.ErrorMessage().find("nested too deep"), std::string::npos);

    // Data chunk 7 holding two bytes, then data chunk 8 holding one.
    const Bytes two = {7, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 0, 0, 1, 0, 0, 0, 1};
    ILoad c(two);
    c.OpenChunk();
    std::uint32_t v = 99;
    EXPECT_EQ(c.ReadU32(v), IO_ERROR) << "only two bytes in the chunk";
    EXPECT_EQ(v, 99u);
    EXPECT_EQ(c.CloseChunk(), IO_ERROR) << "errors are sticky";
    ILoad d(two);
    d.OpenChunk();
    EXPECT_EQ(d.OpenChunk(), IO_ERROR) << "a data chunk holds no chunks";
    std::uint8_t byte = 0;
    EXPECT_EQ(ILoad(two).ReadU8(byte), IO_ERROR) << "no data outside a data chunk";
    ILoad e(two);
    e.OpenChunk();
    EXPECT_EQ(e.CloseChunk(), IO_OK) << "closing skips what was not read";
    ASSERT_EQ(e.OpenChunk(), IO_OK);
    EXPECT_EQ(e.CurChunkID(), 8);
    WStr odd;
    EXPECT_EQ(e.ReadWStringRest(odd), IO_ERROR) << "a wide string of an odd byte count";

    // A reader descends as far as the file goes, but not past the limit.
    const Bytes nest = nestedChunks(0x4000, 40);
    ILoad in(nest);
    int depth = 0;
    while (in.OpenChunk() == IO_OK) ++depth;
    EXPECT_EQ(depth, kMaxChunkDepth);
    EXPECT_NE(in.ErrorMessage().find("nested deeper than"), std::string::npos) << in.ErrorMessage();
}

TEST_F(HostSceneFile, SkipsChunksItDoesNotKnowAndDropsUnreferencedObjects) {
    // An unknown top-level chunk, and a root list that leaves the second material out.
    Bytes extended = bytes;
    extended.insert(extended.begin() + 8, {0x34, 0x12, 0, 0, 2, 0, 0, 0, 0xaa, 0xbb});
    Scene loaded, partial;
    std::string error;
    ASSERT_EQ(LoadScene(extended, testClassDirectory(), loaded, error), IO_OK) << error;
    EXPECT_EQ(loaded.NumMaterials(), 3);

    const int live = TestMtl::live;
    const RawChunk roots = topChunk(bytes, 0x0007);
    Bytes fewer = bytes;
    writeU32(fewer, roots.payload(), 2);
    fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(roots.payload() + 12),
                fewer.begin() + static_cast<std::ptrdiff_t>(roots.payload() + 16));
    writeU32(fewer, roots.header + 4, roots.length - 4);
    ASSERT_EQ(LoadScene(fewer, testClassDirectory(), partial, error), IO_OK) << error;
    EXPECT_EQ(partial.NumMaterials(), 2);
    EXPECT_EQ(TestMtl::live, live + 2) << "the unreferenced material was not kept";
}

class LoopMtl : public Mtl {
public:
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int) override { return target; }
    RefTargetHandle target = nullptr;

protected:
    void SetReference(int, RefTargetHandle t) override { target = t; }
};

TEST(HostSceneSave, RefusesCyclesTooManyObjectsAndOwnerlessBlocksButSavesLongChains) {
    Bytes bytes;
    std::string error;
    const auto expectSaved = [&](Mtl* m, const char* needle) {
        Scene scene;
        scene.AddMaterial(m);
        EXPECT_EQ(SaveScene(scene, bytes, error), *needle ? IO_ERROR : IO_OK) << error;
        EXPECT_NE(error.find(needle), std::string::npos) << error;
    };
    for (auto [links, needle] : {std::pair{60000, ""}, {int(kMaxSceneObjects) + 1, "more than 65536 objects"}}) {
        auto* head = new LoopMtl();
        for (int i = 1; i < links; ++i) {
            auto* next = new LoopMtl();
            next->ReplaceReference(0, head);
            head = next;
        }
        expectSaved(head, needle);
    }
    auto* a = new LoopMtl();
    auto* b = new LoopMtl();
    a->ReplaceReference(0, b);
    b->ReplaceReference(0, a);
    expectSaved(a, "cycle");
    b->DeleteReference(0);  // breaks the cycle; the scene has gone, so a and b go too

    // A block whose description names no owner class cannot be stored.
    ParamBlockDesc2 orphan(0, "orphan", 0, nullptr, P_AUTO_CONSTRUCT, 0, 0, "x", TYPE_INT, 0, 0, p_end, p_end);
    auto* mtl = new LoopMtl();
    mtl->ReplaceReference(0, CreateParameterBlock2(&orphan, mtl));
    expectSaved(mtl, "owner class");
}

}  // namespace
}  // namespace host
