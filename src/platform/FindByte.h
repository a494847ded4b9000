#pragma once
// Looking at received bytes sixteen at a time: a scale's rows are a few tens
// of bytes, where a library search costs more to start than it saves.
#include <bit>
#include <cstddef>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace platform {

// Bit i set where p[i] == c, for the sixteen bytes at p.
inline unsigned byteMask16(const char* p, char c) {
#ifdef __SSE2__
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
#else
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= static_cast<unsigned>(p[i] == c) << i;
  return mask;
#endif
}

// Bit i set where a[i] == b[i], for the sixteen bytes at a and at b.
inline unsigned equalMask16(const char* a, const char* b) {
#ifdef __SSE2__
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)))));
#else
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) mask |= static_cast<unsigned>(a[i] == b[i]) << i;
  return mask;
#endif
}

// The places of the lowest and of the highest bit set in a mask that is not 0.
inline std::size_t lowestBit(unsigned mask) {
  return static_cast<std::size_t>(std::countr_zero(mask));
}
inline std::size_t highestBit(unsigned mask) {
  return static_cast<std::size_t>(std::bit_width(mask)) - 1;
}

// Calls found(i) for each c in [from, to) of data, in order.
template <typename Found>
inline void forEachByte(const char* data, std::size_t from, std::size_t to, char c, Found&& found) {
  std::size_t i = from;
  for (; i + 16 <= to; i += 16)
    for (unsigned bits = byteMask16(data + i, c); bits != 0; bits &= bits - 1) found(i + lowestBit(bits));
  for (; i < to; ++i)
    if (data[i] == c) found(i);
}

}  // namespace platform
