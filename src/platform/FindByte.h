#pragma once
// Finding a byte in short stretches: a scale's rows are a few tens of bytes,
// where a library search costs more to start than it saves; eight bytes at a
// time up to a few words, the library search beyond.
#include <cstddef>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace platform {

// The bytes of w that are zero have their high bit set in the result (and
// only those, up to the first zero byte).
constexpr std::uint64_t zeroBytes(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  return (w - kOnes) & ~w & kHighs;
}

constexpr std::uint64_t everyByte(char c) {
  return 0x0101010101010101u * static_cast<unsigned char>(c);
}

// The first c in [from, to) of data; to when there is none.
inline std::size_t findByte(const char* data, std::size_t from, std::size_t to, char c) {
  constexpr std::size_t kShort = 64;
  const std::uint64_t pattern = everyByte(c);
  const std::size_t wordsEnd = to - from < kShort ? to : from + kShort;
  std::size_t i = from;
  for (; i + 8 <= wordsEnd; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, data + i, 8);
    if (zeroBytes(w ^ pattern)) {
      while (data[i] != c) ++i;
      return i;
    }
  }
  const void* found = i < to ? std::memchr(data + i, c, to - i) : nullptr;
  return found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : to;
}

// Calls found(i) for each c in [from, to) of data, in order; sixteen bytes
// at a time where the processor has the instructions for it.
template <typename Found>
inline void forEachByte(const char* data, std::size_t from, std::size_t to, char c, Found&& found) {
  std::size_t i = from;
#ifdef __SSE2__
  const __m128i pattern = _mm_set1_epi8(c);
  for (; i + 16 <= to; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    for (auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, pattern))); bits != 0;
         bits &= bits - 1)
      found(i + static_cast<std::size_t>(__builtin_ctz(bits)));
  }
#endif
  for (; i < to; ++i)
    if (data[i] == c) found(i);
}

}  // namespace platform
