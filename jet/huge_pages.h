// Asks for large buffers not yet touched to come in huge pages: their first
// touch then costs a few page faults instead of one per 4 KB. Only a hint.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace jet {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Advises the whole huge pages inside [data, data + bytes).
inline void adviseHugePages(const void* data, std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  const std::uintptr_t to = (start + bytes) & ~(kHugePageBytes - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// Gives vector `v` room for `n` elements, keeping those it holds, in a new
// buffer advised before anything is copied into it.
template <class Vector>
void reserveInHugePages(Vector& v, std::size_t n) {
  if (v.capacity() >= n) return;
  Vector grown;
  grown.reserve(n);
  adviseHugePages(grown.data(), grown.capacity() * sizeof(typename Vector::value_type));
  grown.assign(v.begin(), v.end());
  v.swap(grown);
}

}  // namespace jet
