#pragma once
// Heap memory aligned for unbuffered (O_DIRECT) transfers. Raw card I/O
// from such a buffer goes straight to the device; from any other buffer it
// is copied through one first.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace tscard {

constexpr std::size_t kIoAlignment = 4096;

class AlignedBuffer {
public:
    AlignedBuffer() = default;
    // size bytes, zero-filled.
    explicit AlignedBuffer(std::size_t size) : size_(size) {
        const std::size_t rounded = (size + kIoAlignment - 1) / kIoAlignment * kIoAlignment;
        data_ = static_cast<std::uint8_t*>(std::aligned_alloc(kIoAlignment, rounded == 0 ? kIoAlignment : rounded));
        if (data_ == nullptr) throw std::bad_alloc();
        std::memset(data_, 0, rounded == 0 ? kIoAlignment : rounded);
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept {
        if (this != &other) {
            std::free(data_);
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~AlignedBuffer() { std::free(data_); }

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

inline bool IsIoAligned(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer) % kIoAlignment == 0;
}

}  // namespace tscard
