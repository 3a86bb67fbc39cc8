// The one allocation pair of the library. While the library is attached each
// block carries a tagged header and sits in a list of outstanding blocks; while
// it is stopped, TrackedAlloc hands out plain malloc blocks.
#pragma once

#include <cstdint>

// At least size writable bytes, not cleared; null on failure.
void* TrackedAlloc(uint32_t size);

// Releases a block from TrackedAlloc. Null is ignored; a pointer without a
// live tag (a block from the stopped allocator) goes to free as it is.
void TrackedFree(void* block);

// Lifecycle, driven by the library's process attach and detach.
void StartTrackedAllocator();
void StopTrackedAllocator();

// What is outstanding now, for diagnosis and for tests that check that an
// operation released everything it took.
struct TrackedUsage {
    uint32_t blocks;
    uint32_t bytes;
};
TrackedUsage GetTrackedUsage();

// Owns one tracked block and frees it on every path.
class TrackedBuffer {
public:
    TrackedBuffer() = default;
    explicit TrackedBuffer(uint32_t size) : block_(TrackedAlloc(size)) {}
    // Takes over a block that an operation handed to its caller.
    static TrackedBuffer Adopt(void* block) {
        TrackedBuffer buffer;
        buffer.block_ = block;
        return buffer;
    }
    ~TrackedBuffer() { TrackedFree(block_); }
    TrackedBuffer(const TrackedBuffer&) = delete;
    TrackedBuffer& operator=(const TrackedBuffer&) = delete;
    TrackedBuffer(TrackedBuffer&& other) noexcept : block_(other.Release()) {}
    TrackedBuffer& operator=(TrackedBuffer&& other) noexcept {
        if (this != &other) {
            TrackedFree(block_);
            block_ = other.Release();
        }
        return *this;
    }

    bool IsValid() const { return block_ != nullptr; }
    explicit operator bool() const { return IsValid(); }
    void* Get() const { return block_; }
    template <typename T>
    T* As() const {
        return static_cast<T*>(block_);
    }
    char* Chars() const { return static_cast<char*>(block_); }
    unsigned char* Bytes() const { return static_cast<unsigned char*>(block_); }

    // Gives the block to the caller, who frees it with TrackedFree.
    [[nodiscard]] void* Release() {
        void* block = block_;
        block_ = nullptr;
        return block;
    }

private:
    void* block_ = nullptr;
};
