#pragma once

#include <QtGlobal>

#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Sixteen bytes handled as one, for the loops that read text by the
// megabyte (line ends, find, the code page's ASCII runs): as eight UTF-16
// code units or sixteen bytes, compared, combined and converted lane by
// lane. Each operation is one SSE2 instruction where the processor has SSE2
// (every x86-64), and a loop over the lanes elsewhere, with the same results
// on either; callers hold no processor's code of their own.
//
// A comparison sets a lane to all ones where it holds and to zero where it
// does not. mask() gives one bit a byte, byte i's at bit i: a 16-bit lane
// sets two bits.
class VectorBlock {
public:
    static constexpr int Bytes = 16;
    static constexpr int Chars = Bytes / 2;
    // Whether an operation is one instruction rather than a loop: a caller
    // with a plain loop of its own that wins over a loop of blocks asks it.
#ifdef __SSE2__
    static constexpr bool isNative = true;
#else
    static constexpr bool isNative = false;
#endif

    static VectorBlock load(const void *from) {
#ifdef __SSE2__
        return VectorBlock(_mm_loadu_si128(static_cast<const __m128i *>(from)));
#else
        VectorBlock block;
        std::memcpy(block.m_bytes, from, Bytes);
        return block;
#endif
    }
    void store(void *to) const {
#ifdef __SSE2__
        _mm_storeu_si128(static_cast<__m128i *>(to), m_v);
#else
        std::memcpy(to, m_bytes, Bytes);
#endif
    }

    static VectorBlock zero() {
        return splat8(0);
    }
    static VectorBlock splat8(uchar byte) {
#ifdef __SSE2__
        return VectorBlock(_mm_set1_epi8(char(byte)));
#else
        return eachByte([byte](int) { return byte; });
#endif
    }
    static VectorBlock splat16(char16_t c) {
#ifdef __SSE2__
        return VectorBlock(_mm_set1_epi16(short(c)));
#else
        return eachChar([c](int) { return c; });
#endif
    }

    VectorBlock operator&(VectorBlock other) const {
#ifdef __SSE2__
        return VectorBlock(_mm_and_si128(m_v, other.m_v));
#else
        return eachByte([&](int i) { return uchar(m_bytes[i] & other.m_bytes[i]); });
#endif
    }
    VectorBlock operator|(VectorBlock other) const {
#ifdef __SSE2__
        return VectorBlock(_mm_or_si128(m_v, other.m_v));
#else
        return eachByte([&](int i) { return uchar(m_bytes[i] | other.m_bytes[i]); });
#endif
    }

    // Lanes equal to the other block's.
    VectorBlock equal8(VectorBlock other) const {
#ifdef __SSE2__
        return VectorBlock(_mm_cmpeq_epi8(m_v, other.m_v));
#else
        return eachByte([&](int i) { return ones8(m_bytes[i] == other.m_bytes[i]); });
#endif
    }
    VectorBlock equal16(VectorBlock other) const {
#ifdef __SSE2__
        return VectorBlock(_mm_cmpeq_epi16(m_v, other.m_v));
#else
        return eachChar([&](int i) { return ones16(char16At(i) == other.char16At(i)); });
#endif
    }
    // Lanes at most limit, unsigned.
    VectorBlock atMost8(uchar limit) const {
#ifdef __SSE2__
        // A lane up to the limit saturates to zero.
        return VectorBlock(
            _mm_cmpeq_epi8(_mm_subs_epu8(m_v, _mm_set1_epi8(char(limit))), _mm_setzero_si128()));
#else
        return eachByte([&](int i) { return ones8(m_bytes[i] <= limit); });
#endif
    }
    VectorBlock atMost16(char16_t limit) const {
#ifdef __SSE2__
        return VectorBlock(_mm_cmpeq_epi16(_mm_subs_epu16(m_v, _mm_set1_epi16(short(limit))),
                                           _mm_setzero_si128()));
#else
        return eachChar([&](int i) { return ones16(char16At(i) <= limit); });
#endif
    }

    // The top bit of each byte: bit i for byte i.
    unsigned mask() const {
#ifdef __SSE2__
        return unsigned(_mm_movemask_epi8(m_v));
#else
        unsigned bits = 0;
        for (int i = 0; i < Bytes; ++i) bits |= unsigned(m_bytes[i] >> 7) << i;
        return bits;
#endif
    }
    static constexpr unsigned AllBytes = (1u << Bytes) - 1;
    // The byte of the lowest bit set in a mask that is not zero.
    static int firstByte(unsigned mask) {
        return std::countr_zero(mask);
    }

    // Sixteen bytes from two blocks of eight 16-bit lanes, each lane below
    // 0x100. Others saturate as signed numbers do: 0x100-0x7FFF to 0xFF,
    // 0x8000 and above to 0.
    static VectorBlock narrow16(VectorBlock low, VectorBlock high) {
#ifdef __SSE2__
        return VectorBlock(_mm_packus_epi16(low.m_v, high.m_v));
#else
        return eachByte([&](int i) {
            const qint16 c = qint16(i < Chars ? low.char16At(i) : high.char16At(i - Chars));
            return uchar(c < 0 ? 0 : c > 0xFF ? 0xFF : c);
        });
#endif
    }
    // The first (or the last) eight bytes as 16-bit lanes.
    VectorBlock widenLow8() const {
#ifdef __SSE2__
        return VectorBlock(_mm_unpacklo_epi8(m_v, _mm_setzero_si128()));
#else
        return eachChar([&](int i) { return char16_t(m_bytes[i]); });
#endif
    }
    VectorBlock widenHigh8() const {
#ifdef __SSE2__
        return VectorBlock(_mm_unpackhi_epi8(m_v, _mm_setzero_si128()));
#else
        return eachChar([&](int i) { return char16_t(m_bytes[Chars + i]); });
#endif
    }

private:
#ifdef __SSE2__
    explicit VectorBlock(__m128i v) : m_v(v) {}
    __m128i m_v;
#else
    VectorBlock() = default;
    template <typename Byte>
    static VectorBlock eachByte(Byte byte) {
        VectorBlock block;
        for (int i = 0; i < Bytes; ++i) block.m_bytes[i] = byte(i);
        return block;
    }
    template <typename Char>
    static VectorBlock eachChar(Char c) {
        VectorBlock block;
        for (int i = 0; i < Chars; ++i) {
            const char16_t value = c(i);
            std::memcpy(block.m_bytes + 2 * i, &value, 2);
        }
        return block;
    }
    char16_t char16At(int i) const {
        char16_t c;
        std::memcpy(&c, m_bytes + 2 * i, 2);
        return c;
    }
    static uchar ones8(bool on) {
        return on ? 0xFF : 0;
    }
    static char16_t ones16(bool on) {
        return on ? 0xFFFF : 0;
    }
    uchar m_bytes[Bytes];
#endif
};
