// WAV files built chunk by chunk, well-formed or not.
#pragma once
#include <cstdint>
#include <string>

#include "support/Bytes.h"

namespace movrek::test {

// A chunk with its fill byte; declared overrides the size written in the header.
inline std::string Chunk(const char (&id)[5], const std::string& data, std::int64_t declared = -1) {
    std::string c(id, 4);
    c += Le32(static_cast<std::uint32_t>(declared < 0 ? std::int64_t(data.size()) : declared));
    c += data;
    if (data.size() % 2) c += '\0';
    return c;
}

// A format record without extra bytes.
inline std::string Format(std::uint16_t tag, int channels, int rate, int bits) {
    const int align = channels * bits / 8;
    return Le16(tag) + Le16(std::uint16_t(channels)) + Le32(std::uint32_t(rate)) +
           Le32(std::uint32_t(rate * align)) + Le16(std::uint16_t(align)) + Le16(std::uint16_t(bits));
}

inline std::string PcmFormat(int channels = 1, int rate = 44100, int bits = 16) {
    return Format(1, channels, rate, bits);
}

inline std::string Riff(const std::string& body, const char (&form)[5] = "WAVE") {
    return Chunk("RIFF", std::string(form, 4) + body);
}

}  // namespace movrek::test
