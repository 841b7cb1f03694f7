#include "render/aligned_alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/render/allocation_counter.h"

namespace glitter {
namespace {

TEST(AlignedAlloc, ShiftLeavesRoomForTheHeapAddressAtEveryOffset) {
    for (std::uintptr_t base = 4096; base < 4096 + 256; ++base) {
        const std::size_t shift = detail::alignedAllocShift(base);
        EXPECT_EQ((base + shift) % 128, 0u) << base;
        EXPECT_GE(shift, 8u) << base;
        EXPECT_LE(shift, 135u) << base;
    }
}

TEST(AlignedAlloc, BlocksAreAlignedUsableAndReleased) {
    std::vector<void*> blocks;
    blocks.reserve(100);
    test::AllocationScope scope;
    for (std::size_t size : {0, 1, 7, 8, 127, 128, 129, 1000, 4096, 100000}) {
        for (int repeat = 0; repeat < 8; ++repeat) {
            void* block = alignedAlloc(size);
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 128, 0u);
            void* obtained = nullptr;
            std::memcpy(&obtained, static_cast<char*>(block) - 8, sizeof(obtained));
            const std::ptrdiff_t shift = static_cast<char*>(block) - static_cast<char*>(obtained);
            EXPECT_GE(shift, 8);
            EXPECT_LE(shift, 135);
            std::memset(block, 0xA5, size);  // the sanitizers flag any byte outside the block
            blocks.push_back(block);
        }
    }
    for (void* block : blocks) {
        alignedFree(block);
    }
    alignedFree(nullptr);
    EXPECT_EQ(scope.held(), 0);
}

TEST(AlignedAlloc, ReportsHeapFailureAndImpossibleSizesAsNull) {
    test::failNextAllocations(1);
    EXPECT_EQ(alignedAlloc(64), nullptr);
    test::failNextAllocations(0);
    // Such a size would wrap around once the slack is added.
    EXPECT_EQ(alignedAlloc(std::numeric_limits<std::size_t>::max() - 100), nullptr);
}

}  // namespace
}  // namespace glitter
