#include "pools/block_sequence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pools/exception_msg.h"
#include "tests/support/allocation_counter.h"

namespace glitter {
namespace {

// Counts constructions and destructions, logs the destroyed slots in order, and can be told to
// throw from its n-th constructor.
struct Tracked {
    static inline int constructions = 0, destructions = 0, throwAt = 0;
    static inline std::vector<const Tracked*>* log = nullptr;
    Tracked() {
        if (constructions + 1 == throwAt) throw std::runtime_error("constructor failed");
        ++constructions;
    }
    ~Tracked() {
        ++destructions;
        if (log != nullptr) log->push_back(this);
    }
};

class BlockSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override { Tracked::constructions = Tracked::destructions = Tracked::throwAt = 0; }
    void TearDown() override { detail::failBlockStorageAllocations(0); }
};

TEST_F(BlockSequenceTest, SlotsInOrderThenASecondBlockLinkedBack) {
    BlockSequence<uint32_t> slots(1000);
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t* slot = slots.allocate();
        ASSERT_EQ(slot, slots.first->storage + i);
    }
    EXPECT_EQ(slots.first->next, nullptr);
    uint32_t* slot = slots.allocate();
    const _SequenceBlock<uint32_t>* second = slots.first->next;
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(slot, second->storage);
    EXPECT_EQ(slots.current, second);
    EXPECT_EQ(second->prev, slots.first);
    EXPECT_EQ(second->used, 1);
}

TEST_F(BlockSequenceTest, ConstructsBlocksWholeAndDestroysEachFromItsLastSlot) {
    std::vector<const Tracked*> order;
    {
        BlockSequence<Tracked> sequence(10);
        for (int i = 0; i < 11; ++i) sequence.allocate();
        EXPECT_EQ(Tracked::constructions, 20);
        const Tracked* blocks[2] = {sequence.first->storage, sequence.first->next->storage};
        Tracked::log = &order;
        sequence.clear();
        Tracked::log = nullptr;
        ASSERT_EQ(order.size(), 20u);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(order[size_t(i)], blocks[i / 10] + 9 - i % 10);
        sequence.clear();
        EXPECT_EQ(sequence.first, nullptr);
        sequence.allocate();  // usable again; the destructor destroys this block
    }
    EXPECT_EQ(Tracked::destructions, 30);
}

TEST_F(BlockSequenceTest, FailuresThrowAndLeaveTheSequenceAsItWas) {
    BlockSequence<Tracked> sequence(10);
    detail::failBlockStorageAllocations(1);
    EXPECT_THROW(sequence.allocate(), KuvoUtils::ExceptionMsg);
    EXPECT_EQ(sequence.first, nullptr);
    for (int i = 0; i < 10; ++i) sequence.allocate();
    _SequenceBlock<Tracked>* full = sequence.first;
    std::string message;
    message.reserve(64);
    {
        const test::AllocationScope scope;
        detail::failBlockStorageAllocations(1);
        try {
            sequence.allocate();
        } catch (const KuvoUtils::ExceptionMsg& error) {
            message = error.getMessage();
        }
        EXPECT_EQ(message, "[_SequenceBlock] Could not allocate memory");
        EXPECT_EQ(scope.allocations(), 1) << "the header comes before the storage";
        EXPECT_EQ(scope.held(), 0) << "and is released again";
    }
    EXPECT_EQ(sequence.current, full);
    EXPECT_EQ(full->next, nullptr);
    EXPECT_EQ(Tracked::constructions, 10);
    const Tracked* slot = sequence.allocate();
    EXPECT_EQ(slot, full->next->storage);

    // A throwing element constructor unwinds the half-built block.
    BlockSequence<Tracked> other(10);
    const test::AllocationScope scope;
    Tracked::throwAt = Tracked::constructions + 4;
    EXPECT_THROW(other.allocate(), std::runtime_error);
    EXPECT_EQ(Tracked::destructions, 3);
    EXPECT_EQ(other.first, nullptr);
    EXPECT_EQ(scope.held(), 0);
}

TEST_F(BlockSequenceTest, MovingTransfersBlocksWithoutMovingElements) {
    BlockSequence<Tracked> source(10);
    Tracked* a = source.allocate();
    BlockSequence<Tracked> target(10);
    target.allocate();
    target = std::move(source);
    EXPECT_EQ(Tracked::destructions, 10) << "the target's own block goes";
    EXPECT_EQ(source.first, nullptr);
    BlockSequence<Tracked> moved(std::move(target));
    EXPECT_EQ(moved.allocate(), a + 1);
    source.clear();
    target.clear();
    EXPECT_EQ(Tracked::destructions, 10);
}

TEST(ExceptionMsg, FormatsBoundedAndCopiesItsBuffer) {
    const std::string longText(3000, 'x');
    EXPECT_EQ(std::strlen(KuvoUtils::ExceptionMsg("%s!", longText.c_str()).getMessage()), 1023u);
    auto original = std::make_unique<KuvoUtils::ExceptionMsg>("[%s] %d", "Pool", 3);
    const KuvoUtils::ExceptionMsg copy(*original);
    original.reset();
    EXPECT_STREQ(copy.getMessage(), "[Pool] 3");
}

}  // namespace
}  // namespace glitter
