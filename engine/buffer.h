// Memory for the large arrays of a run (and of the bridge's copies), zero-filled and aligned to a
// cache line, and given back to the system when the buffer goes.
//
// Every page a run touches for the first time costs a page fault, and on a virtual machine a
// fault of a 4 KiB page can take 11 us, as long as copying a hundred kilobytes: for the tens of
// megabytes a large run holds, the faults would cost more than the work. So buffers of a MiB or
// more are fresh mappings aligned to 2 MiB and advised for transparent huge pages, which the
// kernel backs 2 MiB at a time. The kernel hands out mapped pages zero-filled, so such a buffer
// costs no user-space fill either. Smaller buffers, and all buffers in sanitized builds (so that
// AddressSanitizer sees their bounds), come from the heap and are zero-filled there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace tallowmere {

// What the buffers of this process have taken: how many allocations, and the bytes held now and
// at most since the last resetBufferPeak(). Mapped buffers never pass through operator new, so
// this is how tests bound a run's memory.
struct BufferStatistics {
  long allocations = 0;
  long liveBytes = 0;
  long peakBytes = 0;
};
BufferStatistics bufferStatistics();
void resetBufferPeak();

// Buffers of at least this many bytes are mapped, unless the build is sanitized: from half a
// huge page on, a whole huge page costs less than the faults of the small pages. Tests lower it
// to take the mapped path on small problems.
inline constexpr std::size_t defaultMappingThreshold = std::size_t{1} << 20;
void setMappingThreshold(std::size_t bytes);

// Zero-filled memory of `bytes` bytes, aligned to 64 (null for 0 bytes), and whether it is a
// mapping; throws std::bad_alloc when there is none.
struct BufferMemory {
  void* data = nullptr;
  bool mapped = false;
};
BufferMemory allocateBuffer(std::size_t bytes);
// Gives back what allocateBuffer returned for the same byte count.
void releaseBuffer(BufferMemory memory, std::size_t bytes) noexcept;

// An owned, zero-filled array of n elements of a trivial type, with the parts of std::vector's
// interface that the engine uses (so that std::span takes it as a contiguous range). Its size
// is fixed at construction.
template <typename T>
class Buffer {
  static_assert(std::is_trivial_v<T>, "a zero-filled buffer holds trivial values only");

 public:
  Buffer() = default;
  explicit Buffer(std::size_t size) : size_(size) {
    if (size > SIZE_MAX / sizeof(T)) {
      throw std::bad_alloc();
    }
    const BufferMemory memory = allocateBuffer(size * sizeof(T));
    data_ = static_cast<T*>(memory.data);
    mapped_ = memory.mapped;
  }
  Buffer(Buffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        mapped_(other.mapped_) {}
  Buffer& operator=(Buffer&& other) noexcept {
    Buffer(std::move(other)).swap(*this);
    return *this;
  }
  ~Buffer() { releaseBuffer({data_, mapped_}, size_ * sizeof(T)); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* begin() { return data_; }
  const T* begin() const { return data_; }
  T* end() { return data_ + size_; }
  const T* end() const { return data_ + size_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

  void swap(Buffer& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(mapped_, other.mapped_);
  }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

}  // namespace tallowmere
