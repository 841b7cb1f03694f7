// Append-only block allocator: hands out element slots in order, block after block, and never
// moves or frees an element before the whole sequence is cleared or destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>

namespace glitter {

namespace detail {

/// Storage for one block's elements; null when the heap (or the test hook) refuses.
void* allocateBlockStorage(std::size_t bytes, std::size_t alignment) noexcept;
void releaseBlockStorage(void* storage, std::size_t alignment) noexcept;

/// Throws KuvoUtils::ExceptionMsg("[_SequenceBlock] Could not allocate memory").
[[noreturn]] void throwBlockAllocationFailure();

/// Test hook: the next `count` block storage allocations made on the calling thread fail.
/// 0 disarms it. Only block creation reads it, so it costs nothing on the allocation fast path.
void failBlockStorageAllocations(int32_t count) noexcept;

}  // namespace detail

/// One block of element storage; every one of its `capacity` elements is constructed when the
/// block is created.
template <typename E>
struct _SequenceBlock {
    _SequenceBlock* next;
    _SequenceBlock* prev;
    int32_t used;
    int32_t capacity;
    E* storage;
};

template <typename E>
class BlockSequence {
  public:
    using Block = _SequenceBlock<E>;

    /// Every block created later gets `size` slots (at least 1).
    explicit BlockSequence(int32_t size) noexcept : blockSize(size < 1 ? 1 : size) {}

    BlockSequence(const BlockSequence&) = delete;
    BlockSequence& operator=(const BlockSequence&) = delete;

    /// Takes over the other sequence's blocks (element addresses stay valid); it is left empty.
    BlockSequence(BlockSequence&& other) noexcept
        : first(other.first), current(other.current), blockSize(other.blockSize) {
        other.first = nullptr;
        other.current = nullptr;
    }

    BlockSequence& operator=(BlockSequence&& other) noexcept {
        if (this != &other) {
            clear();
            first = other.first;
            current = other.current;
            blockSize = other.blockSize;
            other.first = nullptr;
            other.current = nullptr;
        }
        return *this;
    }

    ~BlockSequence() { clear(); }

    /// Returns the next free, already constructed slot; creates a block of `blockSize` elements
    /// when the chain is full. Throws KuvoUtils::ExceptionMsg when block storage cannot be
    /// obtained, leaving the sequence unchanged.
    E* allocate() {
        Block* block = current;
        if (block != nullptr) {
            while (block->used >= block->capacity && block->next != nullptr) {
                block = block->next;
            }
            if (block->used < block->capacity) {
                current = block;
                return &block->storage[block->used++];
            }
        }
        return appendBlock(block);
    }

    /// Destroys every element (handed out or not, each block from its last slot down) and
    /// releases all blocks, walking from `first`; the sequence is then empty.
    void clear() noexcept {
        Block* block = first;
        while (block != nullptr) {
            Block* following = block->next;
            destroyBlock(block);
            block = following;
        }
        first = nullptr;
        current = nullptr;
    }

    Block* first = nullptr;
    Block* current = nullptr;
    int32_t blockSize;

  private:
    static constexpr std::size_t kStorageAlignment = alignof(E);

    // Kept out of line so that allocate's fast path stays small enough to inline.
    [[gnu::noinline]] E* appendBlock(Block* last) {
        Block* block = createBlock();
        block->prev = last;
        if (last != nullptr) {
            last->next = block;
        } else {
            first = block;
        }
        current = block;
        block->used = 1;
        return &block->storage[0];
    }

    // Header first, then storage; on any failure everything obtained here is released again, so
    // the caller's sequence is untouched.
    Block* createBlock() {
        const int32_t capacity = blockSize < 1 ? 1 : blockSize;
        if (static_cast<std::size_t>(capacity) >
            std::numeric_limits<std::size_t>::max() / sizeof(E)) {
            detail::throwBlockAllocationFailure();
        }
        Block* block = new (std::nothrow) Block{nullptr, nullptr, 0, capacity, nullptr};
        if (block == nullptr) {
            detail::throwBlockAllocationFailure();
        }
        void* storage = detail::allocateBlockStorage(sizeof(E) * static_cast<std::size_t>(capacity),
                                                     kStorageAlignment);
        if (storage == nullptr) {
            delete block;
            detail::throwBlockAllocationFailure();
        }
        E* elements = static_cast<E*>(storage);
        if constexpr (std::is_trivially_default_constructible_v<E>) {
            // Plain records: default-initialisation runs nothing; this only starts their lifetime.
            for (int32_t i = 0; i < capacity; ++i) {
                ::new (static_cast<void*>(elements + i)) E;
            }
        } else {
            int32_t constructed = 0;
            try {
                for (; constructed < capacity; ++constructed) {
                    ::new (static_cast<void*>(elements + constructed)) E;
                }
            } catch (...) {
                while (constructed > 0) {
                    elements[--constructed].~E();
                }
                detail::releaseBlockStorage(storage, kStorageAlignment);
                delete block;
                throw;
            }
        }
        block->storage = elements;
        return block;
    }

    static void destroyBlock(Block* block) noexcept {
        if constexpr (!std::is_trivially_destructible_v<E>) {
            for (int32_t i = block->capacity; i > 0; --i) {
                block->storage[i - 1].~E();
            }
        }
        detail::releaseBlockStorage(block->storage, kStorageAlignment);
        delete block;
    }
};

}  // namespace glitter
