// Growth of the engine's memory buffers: an array allocated with malloc that grows in place
// (by realloc), keeping what it holds. Stateless; a buffer belongs to whoever holds it.
#ifndef THESAURUS_ENGINE_CNET_GROW_H
#define THESAURUS_ENGINE_CNET_GROW_H

#include <cstdint>
#include <cstdlib>

// The step of cnetGrowBuffer that doubles the capacity instead of rounding up to a multiple.
constexpr uint32_t kCnetGrowDouble = 0;

// Makes *buffer, an array of *capacity elements of T, hold at least `needed` elements (and
// allocates it when null), keeping its contents. With a step, the new capacity is needed
// rounded up to a multiple of step, and more than `limit` elements fail; with kCnetGrowDouble
// it is the larger of needed and twice the capacity, cut to `limit`, and only a needed above
// limit fails. False, with buffer and capacity unchanged, on failure or when out of memory.
template <typename T, typename Size>
bool cnetGrowBuffer(T** buffer, Size* capacity, uint64_t needed, uint32_t step, uint64_t limit) {
  if (*buffer != nullptr && needed <= *capacity) return true;
  if (needed == 0) needed = 1;
  uint64_t grown;
  if (step == kCnetGrowDouble) {
    if (needed > limit) return false;
    grown = 2 * uint64_t{*capacity};
    if (grown < needed) grown = needed;
    if (grown > limit) grown = limit;
  } else {
    grown = (needed + step - 1) / step * step;
    if (grown > limit) return false;
  }
  if (grown > SIZE_MAX / sizeof(T)) return false;
  void* p = std::realloc(*buffer, static_cast<size_t>(grown) * sizeof(T));
  if (p == nullptr) return false;
  *buffer = static_cast<T*>(p);
  *capacity = static_cast<Size>(grown);
  return true;
}

#endif  // THESAURUS_ENGINE_CNET_GROW_H
