// Stored scenes: a full round trip, and a refusal (with the scene untouched and nothing left
// behind) for every kind of damaged or hostile file; the chunk writer and reader under them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/scene_file.h"
#include "tests/platform/host_chunk_bytes.h"
#include "tests/platform/host_sample_scene.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using namespace testing;

// A top-level chunk of a saved scene (after the 8-byte magic).
RawChunk topChunk(const Bytes& b, std::uint16_t id) {
    for (const RawChunk& c : children(b, 8, b.size())) {
        if (c.id == id) return c;
    }
    throw std::runtime_error("no such chunk");
}

// The object table of a saved scene: each object's class, refs and data chunks.
struct RawObject {
    RawChunk cls, refs, data;
};

std::vector<RawObject> objectTable(const Bytes& b) {
    const RawChunk objects = topChunk(b, 0x0002);
    std::vector<RawObject> out;
    for (const RawChunk& o : children(b, objects.payload(), objects.end())) {
        const auto parts = children(b, o.payload(), o.end());
        out.push_back({parts.at(0), parts.at(1), parts.at(2)});
    }
    return out;
}

Class_ID classOf(const Bytes& b, const RawObject& o) {
    return Class_ID(readU32(b, o.cls.payload() + 4), readU32(b, o.cls.payload() + 8));
}

// The index of the nth object of a class in the table.
std::uint32_t findObject(const Bytes& b, Class_ID id, int nth = 0) {
    const auto table = objectTable(b);
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (classOf(b, table[i]) == id && nth-- == 0) return static_cast<std::uint32_t>(i);
    }
    throw std::runtime_error("no such object");
}

// Where a distinctive stored value sits (it must occur once).
std::size_t findPattern(const Bytes& b, const void* pattern) {
    const auto* p = static_cast<const std::uint8_t*>(pattern);
    const auto it = std::search(b.begin(), b.end(), p, p + 4);
    if (it == b.end()) throw std::runtime_error("pattern not found");
    EXPECT_EQ(std::search(it + 1, b.end(), p, p + 4), b.end()) << "pattern is not unique";
    return static_cast<std::size_t>(it - b.begin());
}

class HostSceneFile : public ::testing::Test {
protected:
    void SetUp() override { bytes = sampleSceneBytes(); }

    // The sample scene with one little-endian word overwritten.
    Bytes patched(std::size_t pos, std::uint32_t v) const {
        Bytes b = bytes;
        writeU32(b, pos, v);
        return b;
    }

    // A refused load must leave the target scene as it was and nothing alive that was not.
    void expectRefused(const Bytes& data, const std::string& needle) {
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

    Bytes bytes;
};

TEST_F(HostSceneFile, RoundTripThroughAFileKeepsValuesKeysMapsAndNames) {
    const auto path = std::filesystem::temp_directory_path() / "glitter_host_scene_test.glsc";
    Scene original;
    buildSampleScene(original);
    std::string error;
    ASSERT_EQ(SaveSceneFile(original, path, error), IO_OK) << error;
    Scene loaded;
    ASSERT_EQ(LoadSceneFile(path, testClassDirectory(), loaded, error), IO_OK) << error;
    std::filesystem::remove(path);
    EXPECT_EQ(LoadSceneFile(path, testClassDirectory(), loaded, error), IO_ERROR);
    ASSERT_EQ(loaded.NumMaterials(), 3);
    auto* first = dynamic_cast<TestMtl*>(loaded.GetMaterial(0));
    auto* second = dynamic_cast<TestMtl*>(loaded.GetMaterial(1));
    auto* constant = dynamic_cast<ConstantTexmap*>(loaded.GetMaterial(2));
    ASSERT_TRUE(first && second && constant);
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
    // All the rest: equal bytes when the loaded scene is saved again.
    Bytes again;
    ASSERT_EQ(SaveScene(loaded, again, error), IO_OK) << error;
    EXPECT_EQ(again, bytes) << "a loaded scene saves back to the same bytes";
}

// Container chunk headers nested `levels` deep, each holding the next and nothing else.
Bytes nestedChunks(std::uint16_t id, int levels) {
    Bytes out;
    for (int i = 0; i < levels; ++i) {
        out.insert(out.end(), {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8), 1, 0, 0, 0, 0, 0});
        writeU32(out, out.size() - 4, static_cast<std::uint32_t>(8 * (levels - 1 - i)));
    }
    return out;
}

TEST_F(HostSceneFile, RefusesDamagedAndHostileFiles) {
    const auto table = objectTable(bytes);
    const RawChunk roots = topChunk(bytes, 0x0007);
    const std::uint32_t kindAndReserved = readU32(bytes, table[0].cls.header);
    const std::size_t gloss = findPattern(bytes, &kSampleGloss);
    const std::size_t firstKey = findPattern(bytes, &kSampleKeyTimes[0]);
    // Table order is reversed: the first material is the second of its class.
    const std::uint32_t first = findObject(bytes, TestMtl::kClassID, 1);
    const std::uint32_t second = findObject(bytes, TestMtl::kClassID, 0);
    const std::uint32_t firstBlock = first + 1;
    ASSERT_EQ(classOf(bytes, table[firstBlock]), kParamBlock2ClassID);
    ASSERT_LT(second, first);
    Bytes extra = bytes;
    extra.push_back(0);
    Bytes deep(kSceneMagic.begin(), kSceneMagic.end());
    const Bytes nest = nestedChunks(0x0009, 10000);
    deep.insert(deep.end(), nest.begin(), nest.end());
    const std::pair<Bytes, const char*> damaged[] = {
        {{}, "wrong magic"},
        {{'G', 'L', 'T'}, "wrong magic"},
        {patched(0, readU32(bytes, 0) ^ 0x10), "wrong magic"},
        {Bytes(bytes.begin(), bytes.begin() + 8), "no header"},
        {patched(8 + 8, 2), "version 2"},
        // Lengths past the end, and chunk headers that do not parse.
        {patched(topChunk(bytes, 0x0002).header + 4, 0xfffffff0u), "claims 4294967280 bytes"},
        {patched(table[1].data.header + 4, table[1].data.length + 1), "remain"},
        {extra, "truncated chunk header"},
        {patched(table[0].cls.header, kindAndReserved | 0x01000000u), "reserved byte"},
        {patched(table[0].cls.header, (kindAndReserved & 0xff00ffffu) | 0x00020000u), "unknown kind"},
        {deep, "no header"},
        // Huge or inconsistent counts.
        {patched(8 + 8 + 4, 0xffffffffu), "too many objects"},
        {patched(8 + 8 + 4, readU32(bytes, 8 + 8 + 4) + 1), "fewer objects than the header declares"},
        {patched(table[0].refs.payload(), 0x7fffffffu), "too many references"},
        {patched(table[0].refs.payload(), 2), "reference count does not match"},
        {patched(roots.payload(), 0x40000000u), "more roots than objects"},
        {patched(firstKey - 4, 100000), "key count does not match"},
        {patched(firstKey - 4, 0xffffffffu), "too many keys"},
        // Unknown classes and types: the value chunk header (8) precedes the value, the head
        // chunk (8 + id + type) precedes that.
        {patched(table[0].cls.payload() + 4, 0xdeadbeefu), "unknown class"},
        {patched(gloss - 8 - 4, 3), "stored with type 3"},
        {patched(gloss, 0x7fc00000u), "not a number"},
        {patched(findPattern(bytes, &kSampleKeyTimes[1]), 1000), "out of time order"},
        // References that break the graph.
        {patched(table[firstBlock].refs.payload() + 4, firstBlock), "which is not after it"},
        {patched(table[firstBlock].refs.payload() + 4, first), "which is not after it"},
        {patched(table[firstBlock].refs.payload() + 4, 1000), "which is not after it"},
        {patched(table[first].refs.payload() + 4, findObject(bytes, CheckerTexmap::kClassID)), "wrong class"},
        {patched(table[second + 1].refs.payload() + 4, first), "does not accept"},  // a material for a map
        {patched(roots.payload() + 8, readU32(bytes, roots.payload() + 4)), "listed twice as a root"},
        {patched(roots.payload() + 4, findObject(bytes, kParamBlock2ClassID)), "not a material or map"},
        {patched(roots.payload() + 4, 99), "does not exist"},
    };
    for (const auto& [data, needle] : damaged) {
        SCOPED_TRACE(needle);
        expectRefused(data, needle);
    }
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

TEST(HostChunkIO, RefusesMixingDataAndChunksAndNestingTooDeepAndReadsPastAChunk) {
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
    EXPECT_EQ(ISave().WriteU8(1), IO_ERROR);
    EXPECT_EQ(ISave().EndChunk(), IO_ERROR);

    ISave out;
    out.BeginChunk(7);
    out.WriteU16(1);
    out.EndChunk();
    out.BeginChunk(8);
    out.WriteU8(1);
    out.EndChunk();
    ILoad c(out.Bytes());
    c.OpenChunk();
    std::uint32_t v = 99;
    EXPECT_EQ(c.ReadU32(v), IO_ERROR) << "only two bytes in the chunk";
    EXPECT_EQ(v, 99u);
    EXPECT_EQ(c.CloseChunk(), IO_ERROR) << "errors are sticky";
    ILoad d(out.Bytes());
    d.OpenChunk();
    EXPECT_EQ(d.OpenChunk(), IO_ERROR) << "a data chunk holds no chunks";
    std::uint8_t byte = 0;
    EXPECT_EQ(ILoad(out.Bytes()).ReadU8(byte), IO_ERROR) << "no data outside a data chunk";
    ILoad e(out.Bytes());
    e.OpenChunk();
    EXPECT_EQ(e.CloseChunk(), IO_OK) << "closing skips what was not read";
    ASSERT_EQ(e.OpenChunk(), IO_OK);
    EXPECT_EQ(e.CurChunkID(), 8);
    WStr odd;
    EXPECT_EQ(e.ReadWStringRest(odd), IO_ERROR) << "a wide string of an odd byte count";

    // Neither the writer nor a reader that descends as far as the file goes passes the depth limit.
    ISave deep;
    for (int i = 0; i <= kMaxChunkDepth; ++i) deep.BeginChunk(0x0003);
    EXPECT_NE(deep.ErrorMessage().find("nested too deep"), std::string::npos);
    const Bytes nest = nestedChunks(0x4000, 40);
    ILoad in(nest);
    int depth = 0;
    IOResult result = IO_OK;
    while ((result = in.OpenChunk()) == IO_OK) ++depth;
    EXPECT_EQ(result, IO_ERROR);
    EXPECT_EQ(depth, kMaxChunkDepth);
    EXPECT_NE(in.ErrorMessage().find("nested deeper than"), std::string::npos) << in.ErrorMessage();
}

TEST_F(HostSceneFile, SkipsChunksItDoesNotKnowAndDropsUnreferencedObjects) {
    // An unknown top-level chunk, and a root list that leaves the second material out.
    Bytes extended = bytes;
    const Bytes unknown = {0x34, 0x12, 0, 0, 2, 0, 0, 0, 0xaa, 0xbb};
    extended.insert(extended.begin() + 8, unknown.begin(), unknown.end());
    Scene loaded;
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
    Scene partial;
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
    auto makeChain = [](int links) {
        auto* head = new LoopMtl();
        LoopMtl* tail = head;
        for (int i = 1; i < links; ++i) {
            auto* next = new LoopMtl();
            tail->ReplaceReference(0, next);
            tail = next;
        }
        return head;
    };
    Bytes bytes;
    std::string error;
    const int tooMany = static_cast<int>(kMaxSceneObjects) + 1;
    for (auto [links, needle] : {std::pair{60000, ""}, {tooMany, "more than 65536 objects"}}) {
        Scene scene;
        scene.AddMaterial(makeChain(links));
        EXPECT_EQ(SaveScene(scene, bytes, error), *needle ? IO_ERROR : IO_OK) << error;
        EXPECT_NE(error.find(needle), std::string::npos) << error;
    }
    auto* a = new LoopMtl();
    auto* b = new LoopMtl();
    a->ReplaceReference(0, b);
    b->ReplaceReference(0, a);
    Scene scene;
    scene.AddMaterial(a);
    EXPECT_EQ(SaveScene(scene, bytes, error), IO_ERROR);
    EXPECT_NE(error.find("cycle"), std::string::npos);
    b->DeleteReference(0);  // breaks the cycle; the scene then owns a, which owns b

    // A block whose description names no owner class cannot be stored.
    ParamBlockDesc2 orphan(0, "orphan", 0, nullptr, P_AUTO_CONSTRUCT, 0, 0, "x", TYPE_INT, 0, 0, p_end, p_end);
    auto* mtl = new LoopMtl();
    mtl->ReplaceReference(0, CreateParameterBlock2(&orphan, mtl));
    Scene withOrphan;
    withOrphan.AddMaterial(mtl);
    EXPECT_EQ(SaveScene(withOrphan, bytes, error), IO_ERROR);
    EXPECT_NE(error.find("owner class"), std::string::npos) << error;
}

}  // namespace
}  // namespace host
