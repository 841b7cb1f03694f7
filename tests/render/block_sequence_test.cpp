#include "render/block_sequence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "render/exception_msg.h"
#include "tests/render/allocation_counter.h"

namespace glitter {
namespace {

struct Node {  // a plain record, like the flake search's quadtree node
    float u, v, size;
    uint32_t seed;
    Node* next;
};

// Counts constructions and destructions, and logs the order in which slots are destroyed.
struct Tracked {
    static inline int constructions = 0;
    static inline int destructions = 0;
    static inline int throwAtConstruction = 0;  // 0: never
    static inline std::vector<const Tracked*>* destroyed = nullptr;

    Tracked() {
        if (throwAtConstruction != 0 && constructions + 1 == throwAtConstruction) {
            throw std::runtime_error("element constructor failed");
        }
        ++constructions;
    }
    ~Tracked() {
        ++destructions;
        if (destroyed != nullptr) {
            destroyed->push_back(this);
        }
    }
    int value = 7;
};

class BlockSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Tracked::constructions = 0;
        Tracked::destructions = 0;
        Tracked::throwAtConstruction = 0;
        Tracked::destroyed = nullptr;
    }
    void TearDown() override { detail::failBlockStorageAllocations(0); }
};

TEST_F(BlockSequenceTest, HandsOutAThousandSlotsInOrderBeforeASecondBlock) {
    BlockSequence<Node> nodes(1000);
    EXPECT_EQ(nodes.first, nullptr);
    EXPECT_EQ(nodes.current, nullptr);
    for (int i = 0; i < 1000; ++i) {
        Node* slot = nodes.allocate();
        ASSERT_NE(nodes.first, nullptr);
        ASSERT_EQ(slot, nodes.first->storage + i);
        slot->seed = static_cast<uint32_t>(i);
    }
    EXPECT_EQ(nodes.first->used, 1000);
    EXPECT_EQ(nodes.first->next, nullptr);
    EXPECT_EQ(nodes.current, nodes.first);

    Node* slot = nodes.allocate();
    _SequenceBlock<Node>* second = nodes.first->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(nodes.current, second);
    EXPECT_EQ(second->prev, nodes.first);
    EXPECT_EQ(second->capacity, 1000);
    EXPECT_EQ(second->used, 1);
    EXPECT_EQ(slot, second->storage);
    // Earlier slots neither moved nor were overwritten.
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(nodes.first->storage[i].seed, static_cast<uint32_t>(i));
    }
}

TEST_F(BlockSequenceTest, ConstructsBlocksWholeAndDestroysEachFromItsLastSlot) {
    std::vector<const Tracked*> order;
    {
        BlockSequence<Tracked> sequence(10);
        sequence.allocate();
        EXPECT_EQ(Tracked::constructions, 10);
        for (int i = 1; i < 10; ++i) {
            sequence.allocate();
        }
        EXPECT_EQ(Tracked::constructions, 10);
        sequence.allocate();
        EXPECT_EQ(Tracked::constructions, 20);

        const Tracked* firstSlots = sequence.first->storage;
        const Tracked* secondSlots = sequence.first->next->storage;
        Tracked::destroyed = &order;
        sequence.clear();
        Tracked::destroyed = nullptr;
        EXPECT_EQ(sequence.first, nullptr);
        EXPECT_EQ(sequence.current, nullptr);
        ASSERT_EQ(order.size(), 20u);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(order[i], firstSlots + 9 - i);
            EXPECT_EQ(order[10 + i], secondSlots + 9 - i);
        }
        sequence.clear();
        EXPECT_EQ(Tracked::destructions, 20);

        // Usable again after clearing; the destructor then destroys the new block.
        sequence.allocate();
    }
    EXPECT_EQ(Tracked::constructions, 30);
    EXPECT_EQ(Tracked::destructions, 30);
}

TEST_F(BlockSequenceTest, FailedStorageThrowsAndLeavesTheSequenceAsItWas) {
    BlockSequence<Tracked> sequence(10);
    {
        test::AllocationScope scope;
        detail::failBlockStorageAllocations(1);
        EXPECT_THROW(sequence.allocate(), KuvoUtils::ExceptionMsg);
        EXPECT_EQ(sequence.first, nullptr);
        EXPECT_EQ(sequence.current, nullptr);
        EXPECT_EQ(scope.held(), 0) << "the block header must be released";
    }
    for (int i = 0; i < 10; ++i) {
        sequence.allocate();
    }
    _SequenceBlock<Tracked>* full = sequence.first;

    test::AllocationScope scope;
    detail::failBlockStorageAllocations(1);
    try {
        sequence.allocate();
        FAIL() << "allocate succeeded without storage";
    } catch (const KuvoUtils::ExceptionMsg& error) {
        EXPECT_STREQ(error.getMessage(), "[_SequenceBlock] Could not allocate memory");
    }
    EXPECT_GT(scope.allocations(), 0) << "the header is allocated before the storage";
    EXPECT_EQ(scope.held(), 0);
    EXPECT_EQ(sequence.first, full);
    EXPECT_EQ(sequence.current, full);
    EXPECT_EQ(full->next, nullptr);
    EXPECT_EQ(full->used, 10);
    EXPECT_EQ(Tracked::constructions, 10);

    Tracked* slot = sequence.allocate();
    ASSERT_NE(full->next, nullptr);
    EXPECT_EQ(slot, full->next->storage);
}

TEST_F(BlockSequenceTest, ThrowingElementConstructorUnwindsTheHalfBuiltBlock) {
    BlockSequence<Tracked> sequence(10);
    test::AllocationScope scope;
    Tracked::throwAtConstruction = 4;
    EXPECT_THROW(sequence.allocate(), std::runtime_error);
    EXPECT_EQ(Tracked::constructions, 3);
    EXPECT_EQ(Tracked::destructions, 3);
    EXPECT_EQ(sequence.first, nullptr);
    EXPECT_EQ(scope.held(), 0);
}

TEST_F(BlockSequenceTest, MovingTransfersBlocksWithoutMovingElements) {
    BlockSequence<Tracked> source(10);
    Tracked* a = source.allocate();
    a->value = 41;
    source.allocate();

    BlockSequence<Tracked> moved(std::move(source));
    EXPECT_EQ(source.first, nullptr);
    EXPECT_EQ(moved.first->storage, a);
    EXPECT_EQ(moved.allocate(), a + 2);
    EXPECT_EQ(a->value, 41);

    BlockSequence<Tracked> target(10);
    target.allocate();
    EXPECT_EQ(Tracked::constructions, 20);
    target = std::move(moved);
    EXPECT_EQ(Tracked::destructions, 10) << "the target's own block is destroyed";
    EXPECT_EQ(target.first->storage, a);
    source.clear();
    moved.clear();
    EXPECT_EQ(Tracked::destructions, 10);
}

TEST_F(BlockSequenceTest, NonPositiveBlockSizeStillHandsOutValidSlots) {
    BlockSequence<Node> nodes(0);
    Node* a = nodes.allocate();
    Node* b = nodes.allocate();
    EXPECT_EQ(nodes.first->capacity, 1);
    EXPECT_NE(a, b);
    EXPECT_EQ(nodes.first->next, nodes.current);
}

}  // namespace
}  // namespace glitter
