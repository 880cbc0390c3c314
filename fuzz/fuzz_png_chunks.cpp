// Hostile bytes for the PNG chunk reader and the image decoder, straight from memory: every
// chunk the reader accepts must be written back byte for byte by the chunk writer, and a walk
// that succeeds must decode its default image or refuse it with a reason.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "doc/png_chunks.h"
#include "doc/png_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kx::png::ChunkReader reader(data, size);
    if (reader.HasSignature()) {
        kx::png::Chunk chunk;
        size_t at = sizeof kx::png::kSignature;
        while (reader.Next(chunk)) {
            std::vector<uint8_t> written;
            kx::png::AppendChunk(written, chunk.type, chunk.data, chunk.length);
            if (written.size() != size_t(chunk.length) + 12 ||
                std::memcmp(written.data(), data + at, written.size()) != 0) {
                std::abort();
            }
            at += written.size();
        }
    }
    kx::png::PngFile file;
    std::string reason;
    if (!kx::png::ParsePng(data, size, file, reason)) {
        if (reason.empty()) {
            std::abort();
        }
        return 0;
    }
    // Pictures of up to a million filtered bytes are decoded; larger ones only measured.
    const kx::png::ImageHeader& h = file.header;
    if (kx::png::FilteredImageBytes(h, h.width, h.height, 1u << 20) != 0) {
        std::vector<kx::png::Rgba> pixels;
        if (!kx::png::DecodeImage(file, file.image, h.width, h.height, pixels, reason)) {
            if (reason.empty()) {
                std::abort();
            }
        } else if (pixels.size() != size_t(h.width) * h.height) {
            std::abort();
        }
    }
    return 0;
}
