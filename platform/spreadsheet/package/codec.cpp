#include "platform/spreadsheet/package/codec.h"

#include <libdeflate.h>

#include <new>

#include "platform/rtl/exceptions.h"

namespace tabrix::xl::detail {

std::uint32_t Crc32(std::string_view data, std::uint32_t crc) {
    return libdeflate_crc32(crc, data.data(), data.size());
}

namespace {
struct TDecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
}  // namespace

TInflateResult InflateExact(std::string_view compressed, std::string& out) {
    // The decompressor is small and stateless between calls; one per thread
    // saves its allocation for every part.
    thread_local std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
    std::size_t produced = 0;
    const libdeflate_result r = libdeflate_deflate_decompress(decompressor.get(), compressed.data(), compressed.size(),
                                                              out.data(), out.size(), &produced);
    switch (r) {
        case LIBDEFLATE_SUCCESS:
            return produced == out.size() ? TInflateResult::Ok : TInflateResult::TooShort;
        case LIBDEFLATE_INSUFFICIENT_SPACE:
            return TInflateResult::TooLong;
        case LIBDEFLATE_SHORT_OUTPUT:
            return TInflateResult::TooShort;
        default:
            return TInflateResult::Corrupt;
    }
}

TDeflater::TDeflater(int level) : FCompressor(nullptr) {
    if (level < 1 || level > 12)
        throw EArgumentException("Deflate level " + std::to_string(level) + " is outside 1..12");
    FCompressor = libdeflate_alloc_compressor(level);
    if (!FCompressor) throw std::bad_alloc();
}

TDeflater::~TDeflater() { libdeflate_free_compressor(FCompressor); }

void TDeflater::Deflate(std::string_view data, std::string& out) {
    // The bound is about the input's size, the stream a fraction of it: a
    // buffer left uninitialised costs memory only for the bytes written.
    const std::size_t bound = libdeflate_deflate_compress_bound(FCompressor, data.size());
    const auto buffer = std::make_unique_for_overwrite<char[]>(bound);
    const std::size_t n = libdeflate_deflate_compress(FCompressor, data.data(), data.size(), buffer.get(), bound);
    // The bound is a guarantee, so 0 can only mean a broken library.
    if (n == 0 && !data.empty()) throw EArgumentException("Deflate failed within its own bound");
    out.append(buffer.get(), n);
}

}  // namespace tabrix::xl::detail
