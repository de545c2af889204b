#include "buffer.h"

#include <sys/mman.h>

#include <atomic>
#include <cstring>

namespace tallowmere {

namespace {

// AddressSanitizer checks the bounds of heap blocks only, so sanitized builds map nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

constexpr std::size_t hugePage = std::size_t{2} << 20;
constexpr std::size_t lineBytes = 64;

std::atomic<std::size_t> mappingThreshold{defaultMappingThreshold};

std::atomic<long> allocations{0};
std::atomic<long> liveBytes{0};
std::atomic<long> peakBytes{0};

void taken(std::size_t bytes) {
  ++allocations;
  const long live = liveBytes += static_cast<long>(bytes);
  for (long peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
  }
}

void givenBack(std::size_t bytes) {
  liveBytes -= static_cast<long>(bytes);
}

// A mapping covers whole huge pages, so that the kernel can back all of it with them.
std::size_t mappedLength(std::size_t bytes) {
  return (bytes + hugePage - 1) / hugePage * hugePage;
}

void* mapAligned(std::size_t length) {
  // Reserve a huge page more than needed and cut the unaligned ends off again.
  const std::size_t reserved = length + hugePage;
  void* raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) {
    throw std::bad_alloc();
  }
  const auto first = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t start = (first + hugePage - 1) / hugePage * hugePage;
  const std::size_t head = start - first;
  if (head > 0) {
    munmap(raw, head);
  }
  munmap(reinterpret_cast<void*>(start + length), hugePage - head);
  void* memory = reinterpret_cast<void*>(start);
  // Without transparent huge pages the advice fails and the mapping keeps small pages.
  madvise(memory, length, MADV_HUGEPAGE);
  return memory;
}

}  // namespace

BufferStatistics bufferStatistics() {
  return {allocations.load(), liveBytes.load(), peakBytes.load()};
}

void resetBufferPeak() {
  peakBytes = liveBytes.load();
}

void setMappingThreshold(std::size_t bytes) {
  mappingThreshold = bytes;
}

BufferMemory allocateBuffer(std::size_t bytes) {
  if (bytes == 0) {
    return {};
  }
  if (!sanitized && bytes >= mappingThreshold) {
    if (bytes > SIZE_MAX - 2 * hugePage) {
      throw std::bad_alloc();
    }
    const std::size_t length = mappedLength(bytes);
    void* memory = mapAligned(length);
    taken(length);
    return {memory, true};
  }
  void* memory = ::operator new (bytes, std::align_val_t{lineBytes});
  std::memset(memory, 0, bytes);
  taken(bytes);
  return {memory, false};
}

void releaseBuffer(BufferMemory memory, std::size_t bytes) noexcept {
  if (memory.data == nullptr) {
    return;
  }
  if (memory.mapped) {
    const std::size_t length = mappedLength(bytes);
    munmap(memory.data, length);
    givenBack(length);
  } else {
    ::operator delete (memory.data, std::align_val_t{lineBytes});
    givenBack(bytes);
  }
}

}  // namespace tallowmere
