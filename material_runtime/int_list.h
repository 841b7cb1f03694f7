#pragma once
// A growable array of 32-bit integers with a fixed growth step (or doubling when the step is
// below 1). Holds the integers the renderer asks a material to keep.

#include <cstdint>

namespace glitter {

class IntList {
public:
    explicit IntList(int32_t growthStep) : step(growthStep) {}
    IntList(const IntList&) = delete;
    IntList& operator=(const IntList&) = delete;
    ~IntList() { delete[] data; }

    // Makes room for n integers, keeping the first `count`; `count` becomes n.
    void resize(int32_t n);
    void append(int32_t value) {
        resize(count + 1);
        data[count - 1] = value;
    }
    // Releases the storage: count and capacity 0, the step kept.
    void reset() {
        delete[] data;
        data = nullptr;
        count = 0;
        capacity = 0;
    }

    int32_t count = 0;
    int32_t step;
    int32_t capacity = 0;
    int32_t* data = nullptr;
};

}  // namespace glitter
