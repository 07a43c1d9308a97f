#pragma once
// A journal line's bytes, looked at without decoding them: what the month report does
// with nearly every line of a long journal. Dates and times are ASCII in CP932, and CP932
// never uses a comma or LF as the second byte of a character.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

namespace tavomi {

// The first `c` in [p, end), or nullptr. Most lines are some 60 bytes long, where a call
// to memchr costs more than the search itself; this one stays inline. It may read up to
// 15 bytes past `end`, which the read buffer's padding allows.
inline const char* findByte(const char* p, const char* end, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; p < end; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)); mask != 0) {
            const char* found = p + __builtin_ctz(static_cast<unsigned>(mask));
            return found < end ? found : nullptr;
        }
    }
    return nullptr;
#else
    return static_cast<const char*>(std::memchr(p, c, static_cast<std::size_t>(end - p)));
#endif
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number that n ASCII digits write.
inline int digitsValue(const char* d, int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
        value = value * 10 + (d[i] - '0');
    }
    return value;
}

// Ten bytes shaped like 2019/08/28. The first eight are checked at once: each digit's
// byte is 0x30 to 0x39 and both slashes are in place.
inline bool looksLikeDate(const char* d) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, d, sizeof bytes);                  // little-endian: d[0] is the lowest byte
    constexpr std::uint64_t kDigits = 0x00FFFF00FFFFFFFF;  // bytes 0-3, 5 and 6
    constexpr std::uint64_t kSlashes = 0xFF0000FF00000000;  // bytes 4 and 7
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
    constexpr std::uint64_t kThirties = 0x3030303030303030;
    return (bytes & kSlashes) == 0x2F00002F00000000 &&
           (bytes & kHigh & kDigits) == (kThirties & kDigits) &&
           // Every byte is now at most 0x3F, so adding 6 carries into no other byte.
           ((bytes + 0x0606060606060606) & kHigh & kDigits) == (kThirties & kDigits) &&
           isDigit(d[8]) && isDigit(d[9]);
}

// The first eight bytes of a date ("2019/08/") as a number that orders as the text does.
inline std::uint64_t monthKey(const char* d) {
    std::uint64_t bytes = 0;
    std::memcpy(&bytes, d, sizeof bytes);
    return __builtin_bswap64(bytes);
}

}  // namespace tavomi
