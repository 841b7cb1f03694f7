// Counts (and on request refuses) global operator new calls made by the calling thread. The test
// executable replaces the global allocation functions to do this.
#pragma once

#include <cstdint>

namespace glitter::test {

struct AllocationCounts {
    int64_t allocations = 0;
    int64_t releases = 0;
};

/// This thread's totals since it started.
AllocationCounts threadAllocationCounts();

/// The next `count` operator new calls on this thread fail (null or std::bad_alloc).
void failNextAllocations(int32_t count);

/// Counts this thread's allocations between construction and the calls below.
class AllocationScope {
  public:
    AllocationScope() : start(threadAllocationCounts()) {}
    int64_t allocations() const { return threadAllocationCounts().allocations - start.allocations; }
    /// Allocations minus releases: the number of blocks still held.
    int64_t held() const {
        const AllocationCounts now = threadAllocationCounts();
        return (now.allocations - start.allocations) - (now.releases - start.releases);
    }

  private:
    AllocationCounts start;
};

}  // namespace glitter::test
