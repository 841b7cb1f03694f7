#include "render/element_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "render/exception_msg.h"
#include "render/per_thread_pools.h"
#include "tests/render/allocation_counter.h"

namespace glitter {
namespace {

struct Node {
    float u, v;
    Node* next;
};

// Stands in for a pooled BSDF: constructed with the pool's block, owns a node store of its own
// whose memory outlives every give-back.
struct Shader {
    static inline std::atomic<int> constructions{0};
    static inline std::atomic<int> destructions{0};

    Shader() { constructions.fetch_add(1, std::memory_order_relaxed); }
    ~Shader() { destructions.fetch_add(1, std::memory_order_relaxed); }

    int32_t owner = -1;
    int64_t stamp = 0;
    BlockSequence<Node> nodes{1000};
};

using ShaderPool = ElementPool<Shader>;
using ShaderElement = ShaderPool::Element;

class PoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Shader::constructions = 0;
        Shader::destructions = 0;
    }
    void TearDown() override {
        detail::failBlockStorageAllocations(0);
        test::failNextAllocations(0);
    }
};

using ElementPoolTest = PoolTest;
using PerThreadPoolsTest = PoolTest;
using PerThreadPoolsThreadsTest = PoolTest;

TEST_F(ElementPoolTest, TakesSlotsInOrderAndGrowsTenAtATime) {
    ShaderPool pool;
    std::vector<ShaderElement*> taken;
    for (int i = 0; i < 10; ++i) {
        taken.push_back(pool.take());
        EXPECT_EQ(Shader::constructions, 10);
        EXPECT_EQ(taken.back(), pool.sequence.first->storage + i);
        EXPECT_EQ(taken.back()->nextFree, nullptr);
    }
    ShaderElement* eleventh = pool.take();
    EXPECT_EQ(Shader::constructions, 20);
    ASSERT_NE(pool.sequence.first->next, nullptr);
    EXPECT_EQ(eleventh, pool.sequence.first->next->storage);
}

TEST_F(ElementPoolTest, FreeListIsLastInFirstOutAndKeepsContents) {
    ShaderPool pool;
    ShaderElement* a = pool.take();
    ShaderElement* b = pool.take();
    a->stamp = 11;
    pool.giveBack(a);
    EXPECT_EQ(pool.take(), a);
    EXPECT_EQ(a->stamp, 11);

    pool.giveBack(a);
    b->stamp = 22;
    pool.giveBack(b);
    ShaderElement* first = pool.take();
    EXPECT_EQ(first, b);
    EXPECT_EQ(b->nextFree, nullptr) << "the link to a must be cleared when b leaves the pool";
    EXPECT_EQ(b->stamp, 22);
    EXPECT_EQ(pool.take(), a);
    EXPECT_EQ(pool.take(), pool.sequence.first->storage + 2);
    pool.giveBack(nullptr);
    EXPECT_EQ(pool.freeHead, nullptr);
}

TEST_F(ElementPoolTest, WarmTakeAndGiveBackDoNotAllocate) {
    ShaderPool pool;
    std::vector<ShaderElement*> held;
    {
        test::AllocationScope cold;
        for (int i = 0; i < 3; ++i) {
            held.push_back(pool.take());
            for (int n = 0; n < 1200; ++n) {  // warm each node store past its first block
                held.back()->nodes.allocate();
            }
        }
        EXPECT_GE(cold.allocations(), 2 + 3 * 4) << "the counter must see the pool grow";
    }
    for (ShaderElement* element : held) {
        pool.giveBack(element);
    }

    test::AllocationScope warm;
    for (int round = 0; round < 1000; ++round) {
        ShaderElement* a = pool.take();
        ShaderElement* b = pool.take();
        ShaderElement* c = pool.take();
        pool.giveBack(b);
        pool.giveBack(a);
        pool.giveBack(c);
    }
    EXPECT_EQ(warm.allocations(), 0);
}

TEST_F(ElementPoolTest, StorageFailurePassesOutOfTakeAndLeavesThePool) {
    ShaderPool pool;
    for (int i = 0; i < 10; ++i) {
        pool.take();
    }
    detail::failBlockStorageAllocations(1);
    EXPECT_THROW(pool.take(), KuvoUtils::ExceptionMsg);
    EXPECT_EQ(pool.freeHead, nullptr);
    EXPECT_EQ(pool.sequence.first->next, nullptr);
    EXPECT_EQ(Shader::constructions, 10);
    EXPECT_NE(pool.take(), nullptr);
}

TEST_F(PerThreadPoolsTest, TakeReturnsNullWithoutPools) {
    PerThreadPools<Shader> pools;
    EXPECT_EQ(pools.take(0), nullptr);
    pools.giveBack(0, nullptr);

    pools.build(0);
    EXPECT_EQ(pools.pools, nullptr);
    EXPECT_EQ(pools.count, 0);
    pools.build(-3);
    EXPECT_EQ(pools.take(0), nullptr);

    test::failNextAllocations(1);  // the pool array
    pools.build(4);
    EXPECT_EQ(pools.pools, nullptr);
    EXPECT_EQ(pools.count, 4);
    for (int32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pools.take(i), nullptr);
    }
    pools.destroy();
    EXPECT_EQ(pools.count, 0);
}

TEST_F(PerThreadPoolsTest, BuildsAlignedSeparatePoolsAndRefusesBadIndices) {
    PerThreadPools<Shader> pools;
    pools.build(3);
    ASSERT_NE(pools.pools, nullptr);
    EXPECT_EQ(pools.count, 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&pools.pools[i]) % 128, 0u);
        EXPECT_EQ(pools.pools[i].freeHead, nullptr);
        EXPECT_EQ(pools.pools[i].sequence.first, nullptr);
        EXPECT_EQ(pools.pools[i].sequence.blockSize, 10);
    }
    EXPECT_EQ(Shader::constructions, 0) << "elements appear only at a thread's first take";

    ShaderElement* e = pools.take(1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e, pools.pools[1].sequence.first->storage);
    EXPECT_EQ(pools.take(3), nullptr);
    EXPECT_EQ(pools.take(-1), nullptr);
    pools.giveBack(7, e);
    EXPECT_EQ(pools.pools[1].freeHead, nullptr);
    pools.giveBack(1, e);
    EXPECT_EQ(pools.take(1), e);
}

TEST_F(PerThreadPoolsTest, DestroyReleasesEverythingOnceAndIsSafeToRepeat) {
    std::vector<ShaderElement*> taken;
    taken.reserve(12);
    test::AllocationScope scope;
    {
        PerThreadPools<Shader> pools;
        pools.destroy();
        pools.build(3);
        for (int i = 0; i < 12; ++i) {
            taken.push_back(pools.take(0));
            taken.back()->nodes.allocate();
        }
        ShaderElement* other = pools.take(2);
        for (int n = 0; n < 2500; ++n) {
            other->nodes.allocate();
        }
        pools.giveBack(0, taken[3]);
        pools.giveBack(0, taken[7]);
        // taken[0] and the rest are still handed out: destroyed all the same.

        pools.destroy();
        EXPECT_EQ(Shader::constructions, 30);
        EXPECT_EQ(Shader::destructions, 30);
        EXPECT_EQ(pools.pools, nullptr);
        EXPECT_EQ(pools.count, 0);
        pools.destroy();
        EXPECT_EQ(Shader::destructions, 30);
        EXPECT_EQ(scope.held(), 0) << "blocks, node stores and the pool array must all be freed";

        pools.build(2);
        pools.take(1);
    }
    EXPECT_EQ(Shader::destructions, 40) << "the destructor destroys what is left";
    EXPECT_EQ(scope.held(), 0);
}

TEST_F(PerThreadPoolsTest, RebuildDestroysOldElementsAndStartsEmpty) {
    PerThreadPools<Shader> pools;
    pools.build(2);
    ShaderElement* old = pools.take(0);
    old->stamp = 5;
    pools.giveBack(0, old);
    pools.build(2);
    EXPECT_EQ(Shader::destructions, 10);
    EXPECT_EQ(pools.count, 2);
    EXPECT_EQ(pools.pools[0].freeHead, nullptr);
    EXPECT_EQ(pools.pools[0].sequence.first, nullptr);
    ShaderElement* fresh = pools.take(0);
    EXPECT_EQ(fresh->stamp, 0);
    EXPECT_EQ(Shader::constructions, 20);
}

// Every thread takes and gives back on its own pool with a changing number held at once; an
// element seen by two threads, or a warm pool that allocates, is a fault.
TEST_F(PerThreadPoolsThreadsTest, EachThreadWorksOnItsOwnPoolWithoutLocks) {
    constexpr int32_t kThreads = 4;
    constexpr int kRounds = 5000;
    constexpr size_t kMostHeld = 15;
    PerThreadPools<Shader> pools;
    pools.build(kThreads);

    std::vector<int> foreignElements(kThreads, 0);
    std::vector<int64_t> warmAllocations(kThreads, -1);
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(1234u + static_cast<unsigned>(t));
            std::vector<ShaderElement*> held;
            auto takeOne = [&] {
                ShaderElement* e = pools.take(t);
                if (e->owner != -1 && e->owner != t) {
                    ++foreignElements[t];
                }
                e->owner = t;
                ++e->stamp;
                e->nodes.allocate();
                held.push_back(e);
            };
            while (held.size() < kMostHeld) {  // warm up: the most this thread will hold
                takeOne();
            }
            test::AllocationScope scope;
            for (int round = 0; round < kRounds; ++round) {
                const bool take = held.empty() || (held.size() < kMostHeld && random() % 2 == 0);
                if (take) {
                    ShaderElement* e = pools.take(t);
                    if (e->owner != t) {
                        ++foreignElements[t];
                    }
                    ++e->stamp;
                    held.push_back(e);
                } else {
                    const size_t pick = random() % held.size();
                    pools.giveBack(t, held[pick]);
                    held[pick] = held.back();
                    held.pop_back();
                }
            }
            warmAllocations[t] = scope.allocations();
            for (ShaderElement* e : held) {
                pools.giveBack(t, e);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    for (int32_t t = 0; t < kThreads; ++t) {
        EXPECT_EQ(foreignElements[t], 0) << "thread " << t;
        EXPECT_EQ(warmAllocations[t], 0) << "thread " << t;
        ASSERT_NE(pools.pools[t].sequence.first, nullptr);
        EXPECT_NE(pools.pools[t].sequence.first->next, nullptr) << "15 held need two blocks";
        EXPECT_EQ(pools.pools[t].sequence.first->next->next, nullptr);
    }
    EXPECT_EQ(Shader::constructions, kThreads * 20);
    pools.destroy();
    EXPECT_EQ(Shader::destructions, kThreads * 20);
}

}  // namespace
}  // namespace glitter
