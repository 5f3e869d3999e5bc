#pragma once
// Raw deflate streams and CRC-32 for zip entries (libdeflate).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct libdeflate_compressor;

namespace tabrix::xl::detail {

std::uint32_t Crc32(std::string_view data, std::uint32_t crc = 0);

enum class TInflateResult { Ok, Corrupt, TooLong, TooShort };

// Inflates a raw deflate stream into exactly out.size() bytes: a stream that
// would produce more is TooLong (the declared size lied), less is TooShort.
TInflateResult InflateExact(std::string_view compressed, std::string& out);

// One compressor per save, reused across parts: allocating one costs more
// than deflating a small part.
class TDeflater {
public:
    explicit TDeflater(int level);  // 1..12; raises EArgumentException outside
    ~TDeflater();
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Appends the raw deflate stream of data to out.
    void Deflate(std::string_view data, std::string& out);

private:
    ::libdeflate_compressor* FCompressor;
};

}  // namespace tabrix::xl::detail
