#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "pools/aligned_alloc.h"
#include "pools/block_sequence.h"
#include "pools/element_pool.h"
#include "pools/exception_msg.h"
#include "pools/per_thread_pools.h"
#include "tests/support/allocation_counter.h"

namespace glitter {
namespace {

// A pooled BSDF's stand-in: counted, logs its destruction, keeps node stores, throws from the n-th.
struct Shader {
    static inline std::atomic<int> constructions{0}, destructions{0}, throwAt{0};
    static inline std::vector<const Shader*>* log = nullptr;
    Shader() {
        if (constructions + 1 == throwAt) throw std::runtime_error("constructor failed");
        ++constructions;
    }
    ~Shader() {
        ++destructions;
        if (log != nullptr) log->push_back(this);
    }
    int32_t owner = -1;
    int64_t stamp = 0;
    BlockSequence<int64_t> nodes{1000};
};

using Element = ElementPool<Shader>::Element;

class PoolTest : public ::testing::Test {
  protected:
    void SetUp() override { Shader::constructions = Shader::destructions = Shader::throwAt = 0; }
    void TearDown() override { detail::failBlockStorageAllocations(0); }
};

TEST_F(PoolTest, BlockSequenceFillsBlocksInOrderAndDestroysEachFromItsLastSlot) {
    std::vector<const Shader*> order;
    {
        BlockSequence<Shader> sequence(10);
        for (int i = 0; i < 10; ++i) {
            const Shader* slot = sequence.allocate();
            ASSERT_EQ(slot, sequence.first->storage + i);
        }
        EXPECT_EQ(sequence.first->next, nullptr);
        const Shader* eleventh = sequence.allocate();
        const _SequenceBlock<Shader>* second = sequence.first->next;
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(eleventh, second->storage);
        EXPECT_EQ(sequence.current, second);
        EXPECT_EQ(second->prev, sequence.first);
        EXPECT_EQ(second->used, 1);
        EXPECT_EQ(Shader::constructions, 20) << "blocks are constructed whole";
        const Shader* blocks[2] = {sequence.first->storage, second->storage};
        Shader::log = &order;
        sequence.clear();
        Shader::log = nullptr;
        ASSERT_EQ(order.size(), 20u);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(order[size_t(i)], blocks[i / 10] + 9 - i % 10);
        sequence.clear();
        EXPECT_EQ(sequence.first, nullptr);
        sequence.allocate();  // usable again; the destructor destroys this block
    }
    EXPECT_EQ(Shader::destructions, 30);
}

TEST_F(PoolTest, BlockSequenceFailuresThrowAndLeaveTheSequenceAsItWas) {
    BlockSequence<Shader> sequence(10);
    detail::failBlockStorageAllocations(1);
    EXPECT_THROW(sequence.allocate(), KuvoUtils::ExceptionMsg);
    EXPECT_EQ(sequence.first, nullptr);
    for (int i = 0; i < 10; ++i) sequence.allocate();
    _SequenceBlock<Shader>* full = sequence.first;
    {
        const test::AllocationScope scope;
        detail::failBlockStorageAllocations(1);
        try {
            sequence.allocate();
        } catch (const KuvoUtils::ExceptionMsg& error) {
            EXPECT_STREQ(error.getMessage(), "[_SequenceBlock] Could not allocate memory");
        }
        EXPECT_EQ(scope.allocations(), 1) << "the header comes before the storage";
        EXPECT_EQ(scope.held(), 0) << "and is released again";
    }
    EXPECT_EQ(sequence.current, full);
    EXPECT_EQ(full->next, nullptr);
    EXPECT_EQ(Shader::constructions, 10);
    const Shader* slot = sequence.allocate();
    EXPECT_EQ(slot, full->next->storage);

    // A throwing element constructor unwinds the half-built block.
    BlockSequence<Shader> other(10);
    const test::AllocationScope scope;
    Shader::throwAt = Shader::constructions + 4;
    EXPECT_THROW(other.allocate(), std::runtime_error);
    EXPECT_EQ(Shader::destructions, 3);
    EXPECT_EQ(other.first, nullptr);
    EXPECT_EQ(scope.held(), 0);

    // Messages are bounded, and a copy outlives its source.
    const std::string longText(3000, 'x');
    EXPECT_EQ(std::strlen(KuvoUtils::ExceptionMsg("%s!", longText.c_str()).getMessage()), 1023u);
    auto original = std::make_unique<KuvoUtils::ExceptionMsg>("[%s] %d", "Pool", 3);
    const KuvoUtils::ExceptionMsg copy(*original);
    original.reset();
    EXPECT_STREQ(copy.getMessage(), "[Pool] 3");
}

TEST_F(PoolTest, BlockSequenceMovingTransfersBlocksWithoutMovingElements) {
    BlockSequence<Shader> source(10);
    Shader* a = source.allocate();
    BlockSequence<Shader> target(10);
    target.allocate();
    target = std::move(source);
    EXPECT_EQ(Shader::destructions, 10) << "the target's own block goes";
    EXPECT_EQ(source.first, nullptr);
    BlockSequence<Shader> moved(std::move(target));
    EXPECT_EQ(moved.allocate(), a + 1);
    source.clear();
    target.clear();
    EXPECT_EQ(Shader::destructions, 10);
}

// Given-back elements keep their state and come back last in, first out, unlinked.
TEST_F(PoolTest, ElementPoolFreeListIsLastInFirstOut) {
    ElementPool<Shader> pool;
    Element* a = pool.take();
    Element* b = pool.take();
    a->stamp = 11;
    pool.giveBack(a);
    pool.giveBack(b);
    EXPECT_EQ(pool.take(), b);
    EXPECT_EQ(b->nextFree, nullptr) << "the link to a must go when b leaves the pool";
    EXPECT_EQ(pool.take(), a);
    EXPECT_EQ(a->stamp, 11);
    EXPECT_EQ(pool.take(), pool.sequence.first->storage + 2);
}

TEST_F(PoolTest, PerThreadPoolsRefuseBadIndicesAndReleaseEverythingOnce) {
    test::AllocationScope scope;
    {
        PerThreadPools<Shader> pools;
        EXPECT_EQ(pools.take(0), nullptr);
        pools.build(-3);
        EXPECT_EQ(pools.take(0), nullptr);
        test::failNextAllocations(1);  // the pool array
        pools.build(4);
        EXPECT_EQ(pools.pools, nullptr);
        EXPECT_EQ(pools.take(3), nullptr);
        pools.build(3);
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&pools.pools[i]) % 128, 0u);
        EXPECT_EQ(Shader::constructions, 0) << "elements appear only at a thread's first take";
        EXPECT_EQ(pools.take(3), nullptr);
        EXPECT_EQ(pools.take(-1), nullptr);
        pools.giveBack(7, pools.take(1));
        EXPECT_EQ(pools.pools[1].freeHead, nullptr);

        std::vector<Element*> taken(12);
        for (Element*& e : taken) {
            e = pools.take(0);
            e->nodes.allocate();
        }
        Element* other = pools.take(2);
        for (int n = 0; n < 2500; ++n) other->nodes.allocate();
        pools.giveBack(0, taken[3]);  // the other eleven are still handed out: destroyed anyway
        pools.build(3);
        EXPECT_EQ(Shader::destructions, 40);
        EXPECT_EQ(pools.pools[0].sequence.first, nullptr);
        EXPECT_EQ(pools.take(0)->stamp, 0);
        pools.destroy();
        pools.destroy();
        EXPECT_EQ(pools.pools, nullptr);
        EXPECT_EQ(Shader::destructions, Shader::constructions.load());
        pools.build(2);
        pools.take(1);
    }
    EXPECT_EQ(Shader::destructions, Shader::constructions.load());
    EXPECT_EQ(scope.held(), 0) << "blocks, node stores and pool arrays must all be freed";
}

// Each thread works its own pool, holding up to 15: no element seen by two threads, no warm take
// allocates; the first fifteen show the counter sees every block (headers and storage).
TEST_F(PoolTest, ThreadsWorkOnTheirOwnPerThreadPoolsWithoutLocks) {
    constexpr int32_t kThreads = 4;
    PerThreadPools<Shader> pools;
    pools.build(kThreads);
    std::vector<int64_t> foreign(kThreads, 0), cold(kThreads, 0), warm(kThreads, 0);
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(1234u + static_cast<unsigned>(t));
            std::vector<Element*> held;
            held.reserve(15);
            for (int round = 0; round < 5000; ++round) {
                const test::AllocationScope scope;
                if (round < 15 || held.empty() || (held.size() < 15 && random() % 2 == 0)) {
                    held.push_back(pools.take(t));
                    foreign[t] += held.back()->owner != (round < 15 ? -1 : t);
                    held.back()->owner = t;
                    if (round < 15) held.back()->nodes.allocate();
                } else {
                    const size_t pick = random() % held.size();
                    pools.giveBack(t, held[pick]);
                    held[pick] = held.back();
                    held.pop_back();
                }
                (round < 15 ? cold : warm)[t] += scope.allocations();
            }
            for (Element* e : held) pools.giveBack(t, e);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(foreign, std::vector<int64_t>(kThreads, 0));
    EXPECT_EQ(cold, std::vector<int64_t>(kThreads, 2 * 2 + 15 * 2));
    EXPECT_EQ(warm, std::vector<int64_t>(kThreads, 0));
    EXPECT_EQ(Shader::constructions, kThreads * 20) << "15 held at most: two blocks per thread";
    pools.destroy();
    EXPECT_EQ(Shader::destructions, kThreads * 20);
}

TEST(AlignedAlloc, AlignedWithRoomForTheHeapAddressAndFailuresAreNull) {
    for (std::uintptr_t base = 4096; base < 4096 + 256; ++base) {
        const std::size_t shift = detail::alignedAllocShift(base);
        EXPECT_EQ((base + shift) % 128, 0u) << base;
        EXPECT_TRUE(shift >= 8 && shift <= 135) << base;
    }
    for (std::size_t size : {0, 1, 127, 128, 129, 4096}) {
        void* block = alignedAlloc(size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 128, 0u);
        std::memset(block, 0xA5, size);  // the sanitizers flag any byte outside the heap block
        alignedFree(block);
    }
    alignedFree(nullptr);
    test::failNextAllocations(1);
    EXPECT_EQ(alignedAlloc(64), nullptr);
    EXPECT_EQ(alignedAlloc(std::numeric_limits<std::size_t>::max() - 100), nullptr);
}

}  // namespace
}  // namespace glitter
