// The readers files are opened with, chosen by the file's first bytes rather than its name: a
// bitmap named x.avi opens as a bitmap. The program's open command and the converter both go
// through ChooseReader, so a new kind of file is one more row of the table in file_readers.cpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "doc/progress.h"

namespace kx {

class CAnimationDocument;

struct FileReader {
    // Short name of the kind ("bmp"), shown by the converter's info.
    const char* name;
    // The bytes every file of the kind starts with.
    std::string_view signature;
    // A strip is one picture of frames stacked one above the other, cut into frames after it is
    // read (the frame settings dialog, the converter's --frames); otherwise the file is a movie
    // that brings its frames and its speed.
    bool isStrip;
    // Reads the file into the document; stripPeriodMs is the frame period a strip starts with.
    int (*load)(CAnimationDocument& document, ProgressSink* progress,
                const std::filesystem::path& path, int32_t stripPeriodMs);
    // A movie kind whose files may hold a single picture: such a file is a strip.
    bool stripWhenOnePicture = false;
};

// Whether the document the reader has just loaded is a strip to be cut into frames.
bool LoadedAsStrip(const FileReader& reader, const CAnimationDocument& document);

struct ReaderChoice {
    enum class Outcome { Chosen, Unreadable, Unknown };
    Outcome outcome = Outcome::Unknown;
    const FileReader* reader = nullptr;  // set when Chosen
    // Why no reader was chosen, in plain words ("no such file", "not a BMP or AVI file").
    std::string problem;
};

// Opens the file at path, reads its first bytes and picks the reader whose signature they start
// with.
ReaderChoice ChooseReader(const std::filesystem::path& path);

}  // namespace kx
