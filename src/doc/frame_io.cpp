// Moving one frame's bytes between a file and its FrameChunk, in blocks so that progress can be
// reported (and Cancel heard) during large transfers.
#include <algorithm>
#include <array>
#include <new>

#include "doc/animation_document.h"
#include "doc/file_io.h"

namespace kx {
namespace {

constexpr size_t kBlockBytes = 10240;
// Blocks read with one call: a read this large goes from the system straight into the frame,
// past the stream's buffer.
constexpr size_t kBlocksPerRead = 100;
// Reading reports one unit per 128 bytes, so a full block is a step of 80.
constexpr uint32_t kReadBytesPerUnit = 128;

}  // namespace

int FrameChunk::ReadFrameData(ProgressSink* progress, uint32_t size, InputFile& file) {
    if (size == 0 || size > kMaxBufferBytes) {
        return 0;
    }
    // A size beyond the end of the file can never be read; refusing it before allocating keeps
    // a damaged header from claiming memory it has no data for.
    if (uint64_t(size) > file.Remaining()) {
        return 0;
    }
    // The block is filled from the file before anyone reads it, so it is not cleared first.
    SharedBlock block;
    try {
        block = SharedBlock::Uncleared(size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    size_t done = 0;
    while (done < size) {
        const size_t n = std::min(kBlockBytes * kBlocksPerRead, size - done);
        if (!file.ReadExact(block.bytes.get() + done, n)) {
            return 0;
        }
        for (size_t reported = 0; reported < n; reported += kBlockBytes) {
            const size_t step = std::min(kBlockBytes, n - reported);
            if (!Report(progress, uint32_t(step / kReadBytesPerUnit), kProgressStep)) {
                return 0;
            }
        }
        done += n;
    }
    data = FrameBytes::View(std::move(block), 0, size);
    return 1;
}

bool WriteChunkHeader(OutputFile& file, uint32_t id, uint32_t size) {
    const std::array<uint8_t, 8> header = {
        uint8_t(id),   uint8_t(id >> 8),   uint8_t(id >> 16),   uint8_t(id >> 24),
        uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24),
    };
    return file.Write(header.data(), header.size());
}

int FrameChunk::WriteFrameData(ProgressSink* progress, double bytesPerStep, OutputFile& file,
                               bool withHeader) const {
    if (withHeader && !WriteChunkHeader(file, id, Size())) {
        return 0;
    }
    // The step size is used as a whole number of bytes; below 1 it would divide by zero.
    const uint32_t perStep = bytesPerStep >= 1.0 && bytesPerStep < 4294967296.0
                                 ? uint32_t(bytesPerStep)
                                 : (bytesPerStep < 1.0 ? 1u : 0xFFFFFFFFu);
    size_t done = 0;
    while (done < data.size()) {
        const size_t block = std::min(kBlockBytes, data.size() - done);
        if (!file.Write(data.data() + done, block)) {
            return 0;
        }
        done += block;
        // Cancel ends the frame early; the caller hears Cancel again on its own next report.
        if (!Report(progress, uint32_t(block / perStep), kProgressStep)) {
            return 1;
        }
    }
    return 1;
}

}  // namespace kx
