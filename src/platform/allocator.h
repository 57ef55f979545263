// The heap that every buffer the program reports on failure comes from, and the owner of one such
// buffer.
#pragma once

#include <cstdint>
#include <type_traits>

namespace ql {

class Allocator {
 public:
  virtual ~Allocator() = default;
  // Zero-filled memory, or null when the heap is exhausted.
  virtual void* AllocateZeroed(uint32_t size) = 0;
  virtual void Free(void* block) = 0;
};

// The C library's heap: what the native program and the tests use when nothing must fail.
class StandardAllocator final : public Allocator {
 public:
  void* AllocateZeroed(uint32_t size) override;
  void Free(void* block) override;
};

// `count` zero-filled elements from an Allocator, given back when the array goes or is reset.
// Empty when the heap could not supply them; the owner decides what that means.
template <typename T>
class HeapArray {
  static_assert(std::is_trivially_copyable_v<T>, "the heap hands back raw, zeroed bytes");

 public:
  HeapArray() = default;
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  HeapArray(HeapArray&& other) noexcept { *this = static_cast<HeapArray&&>(other); }
  HeapArray& operator=(HeapArray&& other) noexcept {
    if (this != &other) {
      reset();
      allocator_ = other.allocator_;
      data_ = other.data_;
      count_ = other.count_;
      other.allocator_ = nullptr;
      other.data_ = nullptr;
      other.count_ = 0;
    }
    return *this;
  }
  ~HeapArray() { reset(); }

  // Empty (and nothing held) when the allocator refused.
  static HeapArray Allocate(Allocator& allocator, uint32_t count) {
    HeapArray a;
    void* block = allocator.AllocateZeroed(count * static_cast<uint32_t>(sizeof(T)));
    if (block == nullptr) return a;
    a.allocator_ = &allocator;
    a.data_ = static_cast<T*>(block);
    a.count_ = count;
    return a;
  }

  void reset() {
    if (data_ != nullptr) allocator_->Free(data_);
    allocator_ = nullptr;
    data_ = nullptr;
    count_ = 0;
  }

  bool empty() const { return data_ == nullptr; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  uint32_t size() const { return count_; }
  T& operator[](uint32_t i) { return data_[i]; }
  const T& operator[](uint32_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

 private:
  Allocator* allocator_ = nullptr;
  T* data_ = nullptr;
  uint32_t count_ = 0;
};

using HeapBuffer = HeapArray<uint8_t>;

}  // namespace ql
