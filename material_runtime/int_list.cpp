#include "material_runtime/int_list.h"

#include <cstddef>
#include <cstdint>

namespace glitter {

void IntList::resize(int32_t n) {
    if (n > capacity) {
        // 64-bit so that growth near the int32 limit cannot overflow.
        int64_t grown;
        if (step >= 1) {
            grown = int64_t(n) + step - (n % step);
        } else {
            grown = capacity < 1 ? n : capacity;
            while (grown < n) grown *= 2;
        }
        if (grown > INT32_MAX) grown = n;
        int32_t* fresh = new int32_t[std::size_t(grown)];
        for (int32_t i = 0; i < count; ++i) fresh[i] = data[i];
        delete[] data;
        data = fresh;
        capacity = int32_t(grown);
    }
    count = n;
}

}  // namespace glitter
