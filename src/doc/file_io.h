// Byte-stream files for the readers and writers, with Unicode paths on every platform.
//
// OutputFile never writes over the target directly: it writes a temporary file in the target's
// folder and replaces the target only in Commit(), so a failed or cancelled save leaves the old
// file exactly as it was and no partial file behind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
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

    // Creates the temporary file beside target.
    bool Open(const std::filesystem::path& target);
    bool Write(const void* data, size_t n);
    uint64_t Position() const { return position_; }
    // Flushes and closes the temporary file, then puts it in place of the target.
    bool Commit();
    void Discard();
    // Why the last Open, Write or Commit failed, in plain words.
    const std::string& Error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    uint64_t position_ = 0;
    std::string error_;
};

// Plain words for an errno value of a failed file operation ("disk full", ...).
std::string DescribeFileError(int error);

}  // namespace kx
