// Stored scenes: a full round trip, and a refusal (with the scene untouched and nothing left
// behind) for every kind of damaged or hostile file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host/checker_texmap.h"
#include "platform/host/constant_texmap.h"
#include "platform/host/iload.h"
#include "platform/host/isave.h"
#include "platform/host/scene_file.h"
#include "tests/platform/host_param_compare.h"
#include "tests/platform/host_sample_scene.h"
#include "tests/platform/host_test_material.h"

namespace host {
namespace {

using testing::TestMtl;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t readU32(const Bytes& b, std::size_t pos) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(b.at(pos + static_cast<std::size_t>(i))) << (8 * i);
    return v;
}

void writeU32(Bytes& b, std::size_t pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(pos + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

struct RawChunk {
    std::size_t header = 0;
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    std::size_t payload() const { return header + 8; }
    std::size_t end() const { return payload() + length; }
};

std::vector<RawChunk> children(const Bytes& b, std::size_t begin, std::size_t end) {
    std::vector<RawChunk> out;
    for (std::size_t pos = begin; pos + 8 <= end;) {
        RawChunk c{pos, static_cast<std::uint16_t>(b[pos] | (b[pos + 1] << 8)),
                   readU32(b, pos + 4)};
        out.push_back(c);
        pos = c.end();
    }
    return out;
}

const RawChunk& child(const std::vector<RawChunk>& list, std::uint16_t id) {
    for (const RawChunk& c : list) {
        if (c.id == id) return c;
    }
    throw std::runtime_error("no such chunk");
}

// The object table of a saved scene: each object's class, refs and data chunks.
struct RawObject {
    RawChunk cls, refs, data;
};

std::vector<RawObject> objectTable(const Bytes& b) {
    const auto top = children(b, 8, b.size());
    const RawChunk& objects = child(top, 0x0002);
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

std::size_t findObject(const Bytes& b, Class_ID id, int nth = 0) {
    const auto table = objectTable(b);
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (classOf(b, table[i]) == id && nth-- == 0) return i;
    }
    throw std::runtime_error("no such object");
}

std::size_t findPattern(const Bytes& b, const void* pattern, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(pattern);
    const auto it = std::search(b.begin(), b.end(), p, p + size);
    if (it == b.end()) throw std::runtime_error("pattern not found");
    EXPECT_EQ(std::search(it + 1, b.end(), p, p + size), b.end()) << "pattern is not unique";
    return static_cast<std::size_t>(it - b.begin());
}

class HostSceneFile : public ::testing::Test {
protected:
    void SetUp() override { bytes = testing::sampleSceneBytes(); }

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
        EXPECT_EQ(LoadScene(data, testing::testClassDirectory(), scene, error), IO_ERROR);
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
    testing::buildSampleScene(original);
    std::string error;
    ASSERT_EQ(SaveSceneFile(original, path, error), IO_OK) << error;
    Scene loaded;
    ASSERT_EQ(LoadSceneFile(path, testing::testClassDirectory(), loaded, error), IO_OK) << error;
    std::filesystem::remove(path);
    EXPECT_EQ(LoadSceneFile(path, testing::testClassDirectory(), loaded, error), IO_ERROR);
    ASSERT_EQ(loaded.NumMaterials(), 3);
    auto* first = dynamic_cast<TestMtl*>(loaded.GetMaterial(0));
    auto* second = dynamic_cast<TestMtl*>(loaded.GetMaterial(1));
    auto* constant = dynamic_cast<ConstantTexmap*>(loaded.GetMaterial(2));
    ASSERT_TRUE(first && second && constant);
    EXPECT_EQ(first->GetName(), u"first \u00e9\U0001F600");
    EXPECT_EQ(first->GetGBufID(), 7);
    EXPECT_EQ(second->GetName(), u"second");

    auto* expected = static_cast<TestMtl*>(original.GetMaterial(0));
    for (TimeValue t : {-200, -100, 0, 15, 30, 1111, 1500, 2222, 5000}) {
        EXPECT_TRUE(testing::sameParams(*expected->pblock, *first->pblock, t));
    }
    EXPECT_EQ(first->pblock->GetOwner(), first);

    auto* map = dynamic_cast<CheckerTexmap*>(first->pblock->GetTexmap(TestMtl::kMap));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(second->pblock->GetTexmap(TestMtl::kMap), map) << "a shared map stays shared";
    EXPECT_EQ(map->GetName(), u"shared checker");
    EXPECT_EQ(map->pblock->GetFloat(CheckerTexmap::kTiling, 25), 5.0f);

    Bytes again;
    ASSERT_EQ(SaveScene(loaded, again, error), IO_OK) << error;
    EXPECT_EQ(again, bytes) << "a loaded scene saves back to the same bytes";
}

TEST_F(HostSceneFile, RefusesWhatIsNotAScene) {
    expectRefused({}, "wrong magic");
    expectRefused({'G', 'L', 'T'}, "wrong magic");
    expectRefused(patched(0, readU32(bytes, 0) ^ 0x10), "wrong magic");
    expectRefused(Bytes(bytes.begin(), bytes.begin() + 8), "no header");
    expectRefused(patched(8 + 8, 2), "version 2");
}

TEST_F(HostSceneFile, RefusesTruncationAtEveryOffset) {
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        SCOPED_TRACE(size);
        expectRefused(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)), "");
    }
}

TEST_F(HostSceneFile, RefusesLengthsPastTheEnd) {
    const auto top = children(bytes, 8, bytes.size());
    expectRefused(patched(child(top, 0x0002).header + 4, 0xfffffff0u), "claims 4294967280 bytes");
    const auto table = objectTable(bytes);
    expectRefused(patched(table[1].data.header + 4, table[1].data.length + 1), "remain");
    Bytes extra = bytes;
    extra.push_back(0);
    expectRefused(extra, "truncated chunk header");
    const std::uint32_t kindAndReserved = readU32(bytes, table[0].cls.header);
    expectRefused(patched(table[0].cls.header, kindAndReserved | 0x01000000u), "reserved byte");
    expectRefused(patched(table[0].cls.header, (kindAndReserved & 0xff00ffffu) | 0x00020000u), "unknown kind");
}

// Container chunk headers nested `levels` deep, each holding the next and nothing else.
Bytes nestedChunks(std::uint16_t id, int levels) {
    Bytes out;
    for (int i = 0; i < levels; ++i) {
        const auto length = static_cast<std::uint32_t>(8 * (levels - 1 - i));
        const auto idLow = static_cast<std::uint8_t>(id);
        out.insert(out.end(), {idLow, static_cast<std::uint8_t>(id >> 8), 1, 0});
        for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(length >> (8 * b)));
    }
    return out;
}

TEST_F(HostSceneFile, RefusesNestingTooDeep) {
    ISave out;  // the writer refuses to go deeper than the limit, so the bytes are built by hand
    for (int i = 0; i <= kMaxChunkDepth; ++i) out.BeginChunk(0x0003);
    EXPECT_NE(out.ErrorMessage().find("nested too deep"), std::string::npos);
    // A reader that descends as far as the file goes is stopped at the limit.
    const Bytes nest = nestedChunks(0x4000, 40);
    ILoad in(nest);
    int depth = 0;
    IOResult result = IO_OK;
    while ((result = in.OpenChunk()) == IO_OK) ++depth;
    EXPECT_EQ(result, IO_ERROR);
    EXPECT_EQ(depth, kMaxChunkDepth);
    EXPECT_NE(in.ErrorMessage().find("nested deeper than"), std::string::npos) << in.ErrorMessage();
    Bytes hostile(kSceneMagic.begin(), kSceneMagic.end());
    const Bytes deep = nestedChunks(0x0009, 10000);
    hostile.insert(hostile.end(), deep.begin(), deep.end());
    expectRefused(hostile, "no header");
}

TEST_F(HostSceneFile, RefusesHugeCounts) {
    expectRefused(patched(8 + 8 + 4, 0xffffffffu), "too many objects");
    expectRefused(patched(8 + 8 + 4, readU32(bytes, 8 + 8 + 4) + 1), "fewer objects than the header declares");
    const auto table = objectTable(bytes);
    expectRefused(patched(table[0].refs.payload(), 0x7fffffffu), "too many references");
    expectRefused(patched(table[0].refs.payload(), 2), "reference count does not match");
    const auto top = children(bytes, 8, bytes.size());
    expectRefused(patched(child(top, 0x0007).payload(), 0x40000000u), "more roots than objects");
    // The key count of the keyed int parameter: find its keys by their distinctive times.
    const std::size_t firstKey = findPattern(bytes, &testing::kSampleKeyTimes[0], 4);
    expectRefused(patched(firstKey - 4, 100000), "key count does not match");
    expectRefused(patched(firstKey - 4, 0xffffffffu), "too many keys");
}

TEST_F(HostSceneFile, RefusesUnknownClassesAndTypes) {
    const auto table = objectTable(bytes);
    expectRefused(patched(table[0].cls.payload() + 4, 0xdeadbeefu), "unknown class");
    // A parameter stored with a type this host does not have: the value chunk header (8)
    // precedes the value; the head chunk (8 + id + type) precedes that.
    const std::size_t gloss = findPattern(bytes, &testing::kSampleGloss, 4);
    expectRefused(patched(gloss - 8 - 4, 3), "stored with type 3");
}

TEST_F(HostSceneFile, RefusesUnsoundValues) {
    const std::size_t gloss = findPattern(bytes, &testing::kSampleGloss, 4);
    expectRefused(patched(gloss, 0x7fc00000u), "not a number");
    expectRefused(patched(findPattern(bytes, &testing::kSampleKeyTimes[1], 4), 1000), "out of time order");
    // An out-of-range stored value (1e6) is clamped, not refused.
    const Bytes damaged = patched(gloss, 0x49742400u);
    Scene loaded;
    std::string error;
    ASSERT_EQ(LoadScene(damaged, testing::testClassDirectory(), loaded, error), IO_OK) << error;
    EXPECT_EQ(static_cast<TestMtl*>(loaded.GetMaterial(0))->pblock->GetFloat(TestMtl::kGloss),
              10.0f);
}

TEST_F(HostSceneFile, RefusesReferencesThatBreakTheGraph) {
    const auto table = objectTable(bytes);
    const std::size_t first = findObject(bytes, TestMtl::kClassID, 1);  // table order is reversed
    const std::size_t firstBlock = first + 1;
    ASSERT_EQ(classOf(bytes, table[firstBlock]), kParamBlock2ClassID);
    for (std::size_t target : {firstBlock, first, std::size_t{1000}})
        expectRefused(patched(table[firstBlock].refs.payload() + 4, static_cast<std::uint32_t>(target)), "which is not after it");
    // A material whose block slot names the checker map.
    const std::size_t checker = findObject(bytes, CheckerTexmap::kClassID);
    expectRefused(patched(table[first].refs.payload() + 4, static_cast<std::uint32_t>(checker)), "wrong class");
    // The other material's block naming a material where a map belongs.
    const std::size_t second = findObject(bytes, TestMtl::kClassID, 0);
    ASSERT_LT(second, first);
    expectRefused(patched(table[second + 1].refs.payload() + 4, static_cast<std::uint32_t>(first)), "does not accept");
}

TEST_F(HostSceneFile, RefusesBadRoots) {
    const auto top = children(bytes, 8, bytes.size());
    const RawChunk& roots = child(top, 0x0007);
    expectRefused(patched(roots.payload() + 8, readU32(bytes, roots.payload() + 4)), "listed twice as a root");
    const std::size_t block = findObject(bytes, kParamBlock2ClassID);
    expectRefused(patched(roots.payload() + 4, static_cast<std::uint32_t>(block)), "not a material or map");
    expectRefused(patched(roots.payload() + 4, 99), "does not exist");
}

TEST_F(HostSceneFile, SkipsChunksItDoesNotKnowAndDropsUnreferencedObjects) {
    // An unknown top-level chunk, and a root list that leaves the second material out.
    Bytes extended = bytes;
    const Bytes unknown = {0x34, 0x12, 0, 0, 2, 0, 0, 0, 0xaa, 0xbb};
    extended.insert(extended.begin() + 8, unknown.begin(), unknown.end());
    Scene loaded;
    std::string error;
    ASSERT_EQ(LoadScene(extended, testing::testClassDirectory(), loaded, error), IO_OK) << error;
    EXPECT_EQ(loaded.NumMaterials(), 3);

    const int live = TestMtl::live;
    const auto top = children(bytes, 8, bytes.size());
    const RawChunk& roots = child(top, 0x0007);
    Bytes fewer = bytes;
    writeU32(fewer, roots.payload(), 2);
    fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(roots.payload() + 12),
                fewer.begin() + static_cast<std::ptrdiff_t>(roots.payload() + 16));
    writeU32(fewer, roots.header + 4, roots.length - 4);
    Scene partial;
    ASSERT_EQ(LoadScene(fewer, testing::testClassDirectory(), partial, error), IO_OK) << error;
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

TEST(HostSceneSave, RefusesACycleAndTooManyObjectsButSavesLongChains) {
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
    std::vector<std::uint8_t> bytes;
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
}

TEST(HostSceneSave, RefusesABlockWithoutOwnerClass) {
    ParamBlockDesc2 orphan(0, "orphan", 0, nullptr, P_AUTO_CONSTRUCT, 0, 0, "x", TYPE_INT, 0, 0,
                           p_end, p_end);
    auto* mtl = new LoopMtl();
    mtl->ReplaceReference(0, CreateParameterBlock2(&orphan, mtl));
    Scene scene;
    scene.AddMaterial(mtl);
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_EQ(SaveScene(scene, bytes, error), IO_ERROR);
    EXPECT_NE(error.find("owner class"), std::string::npos) << error;
}

}  // namespace
}  // namespace host
