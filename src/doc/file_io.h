// Byte-stream files for the readers and writers, with Unicode paths on every platform.
//
// OutputFile writes where a plain write of the name would: through a symbolic link to the file
// it leads to, refused for a file the user may not write. It writes a temporary file beside that
// file, made exclusively with the file's permission bits (and owner), flushes it to the disk and
// replaces the file with it only in Commit(), so a failed or cancelled save leaves the old file
// exactly as it was and no partial file behind. Where no such temporary file can be made (a
// folder the user may not write, an owner it cannot give, a name too long) it writes the file in
// place, as a plain save does; a failed save then leaves the file cut short. A disk without room
// for the temporary file fails the save instead, leaving the old file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace kx {

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { Close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // Reads up to n bytes; returns the number read (less than n at the end or on an error).
    size_t Read(void* buffer, size_t n);
    // Reads exactly n bytes or fails.
    bool ReadExact(void* buffer, size_t n) { return Read(buffer, n) == n; }
    // Moves forward by n bytes; fails when that passes the end of the file.
    bool Skip(uint64_t n);
    uint64_t Position() const { return position_; }
    uint64_t Size() const { return size_; }
    // A file that grew after it was opened has nothing more to offer than its opening size.
    uint64_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }

private:
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;  // the stream's buffer, freed after the stream is closed
    uint64_t position_ = 0;
    uint64_t size_ = 0;
};

class OutputFile {
public:
    OutputFile() = default;
    // Without a Commit the temporary file is removed and the target stays untouched.
    ~OutputFile() { Discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file beside the file target names, or opens that file for writing
    // in place. Without inPlaceAllowed no file is opened in place: Open fails instead and
    // NeedsInPlace() says so, the target untouched.
    bool Open(const std::filesystem::path& target, bool inPlaceAllowed = true);
    bool NeedsInPlace() const { return needsInPlace_; }
    bool Write(const void* data, size_t n);
    // Writes over n bytes already written at offset; the next Write goes on at the end.
    bool WriteAt(uint64_t offset, const void* data, size_t n);
    uint64_t Position() const { return position_; }
    // Flushes the data to the disk and closes the file; a temporary file then replaces the
    // target.
    bool Commit();
    void Discard();
    // Why the last Open, Write or Commit failed, in plain words.
    const std::string& Error() const { return error_; }

private:
    bool OpenInPlace(bool allowed);

    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;  // the stream's buffer, freed after the stream is closed
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    uint64_t position_ = 0;
    uint64_t writeBackAt_ = 0;  // the position from which the system is next told to write back
    bool needsInPlace_ = false;
    std::string error_;
};

// Plain words for an errno value of a failed file operation ("disk full", ...).
std::string DescribeFileError(int error);

}  // namespace kx
