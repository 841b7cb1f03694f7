// Counts (and on request refuses) the calling thread's global operator new calls; the test
// executable replaces the global allocation functions to do this.
#pragma once

#include <cstdint>

namespace glitter::test {

/// The next `count` operator new calls on this thread fail (null or std::bad_alloc).
void failNextAllocations(int32_t count);

/// This thread's allocations, and blocks still held, since construction.
class AllocationScope {
  public:
    AllocationScope();
    int64_t allocations() const;
    int64_t held() const;

  private:
    int64_t startAllocations;
    int64_t startReleases;
};

}  // namespace glitter::test
