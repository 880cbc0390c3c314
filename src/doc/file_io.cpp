// The portable half of the files; the system calls are in file_io_posix.cpp and
// file_io_win.cpp.
#include "doc/file_io.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <system_error>
#include <utility>

#include "doc/file_io_platform.h"

namespace kx {
namespace {

// The file a name leads to: symbolic links are followed (a link to a file not there yet leads
// to where that file will be made). A loop of links is left as it is and fails when opened.
std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    constexpr int kMostLinks = 40;
    std::filesystem::path at = path;
    std::error_code ec;
    for (int hop = 0; hop < kMostLinks && std::filesystem::is_symlink(at, ec); ++hop) {
        const std::filesystem::path link = std::filesystem::read_symlink(at, ec);
        if (ec) {
            break;
        }
        at = link.is_absolute() ? link : at.parent_path() / link;
    }
    return at;
}

// Whether a file could not be made because the disk or the system has no room left: writing the
// target in place would then only destroy it.
bool OutOfRoom(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) {
        return true;
    }
#endif
    return error == ENOSPC || error == EIO || error == EMFILE || error == ENFILE;
}

// The stream buffer of every file: frames move in blocks of 10240 bytes or less (a coded frame
// is often a few hundred bytes), and a buffer of many blocks turns each few hundred of them into
// one system call.
constexpr size_t kStreamBufferBytes = size_t(256) << 10;

// How much a written file grows before the system is told to start writing it to the disk.
constexpr uint64_t kWriteBackBytes = uint64_t(512) << 10;

// Gives a freshly opened stream its large buffer, held in buffer until the stream is closed. The
// buffer is given, not only its size: some C libraries take the size only with a buffer and
// otherwise keep writing in blocks of one disk page. A stream that cannot have one keeps its own.
std::FILE* WithLargeBuffer(std::FILE* file, std::unique_ptr<char[]>& buffer) {
    if (file == nullptr) {
        return nullptr;
    }
    buffer.reset(new (std::nothrow) char[kStreamBufferBytes]);
    if (buffer != nullptr && std::setvbuf(file, buffer.get(), _IOFBF, kStreamBufferBytes) != 0) {
        buffer.reset();
    }
    return file;
}

}  // namespace

std::string DescribeFileError(int error) {
    switch (error) {
        case ENOENT:
            return "no such file or folder";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENOSPC:
            return "disk full";
        case EISDIR:
            return "is a folder";
        case EROFS:
            return "read-only file system";
        default:
            return std::strerror(error);
    }
}

bool InputFile::Open(const std::filesystem::path& path) {
    Close();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        errno = EISDIR;
        return false;
    }
    file_ = WithLargeBuffer(platform::OpenPath(path, false), buffer_);
    if (file_ == nullptr) {
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    size_ = ec ? 0 : uint64_t(size);
    position_ = 0;
    return true;
}

void InputFile::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    buffer_.reset();
    position_ = size_ = 0;
}

size_t InputFile::Read(void* buffer, size_t n) {
    if (file_ == nullptr || n == 0) {
        return 0;
    }
    const size_t got = std::fread(buffer, 1, n, file_);
    position_ += got;
    return got;
}

bool InputFile::Skip(uint64_t n) {
    if (file_ == nullptr || n > Remaining()) {
        return false;
    }
    if (!platform::SeekForward(file_, n)) {
        return false;
    }
    position_ += n;
    return true;
}

bool OutputFile::Open(const std::filesystem::path& target, bool inPlaceAllowed) {
    Discard();
    error_.clear();
    needsInPlace_ = false;
    target_ = FollowLinks(target);
    std::error_code ec;
    if (std::filesystem::is_directory(target_, ec)) {
        error_ = "is a folder";
        return false;
    }
    const bool exists = std::filesystem::exists(target_, ec);
    if (exists && !platform::MayWrite(target_)) {
        error_ = DescribeFileError(errno);
        return false;
    }
    const platform::FileRights rights = platform::RightsOf(target_, exists);
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 16 && file_ == nullptr; ++attempt) {
        auto name = target_.filename();
        name += ".kx-" + std::to_string(random() % 1000000) + ".tmp";
        temporary_ = target_.parent_path() / name;
        file_ = WithLargeBuffer(platform::CreateExclusive(temporary_, rights), buffer_);
        error = file_ == nullptr ? errno : 0;
        if (file_ == nullptr && error != EEXIST) {
            break;
        }
    }
    if (file_ == nullptr) {
        temporary_.clear();
        if (exists && !OutOfRoom(error)) {
            return OpenInPlace(inPlaceAllowed);
        }
        error_ = error == EEXIST ? "cannot create a temporary file" : DescribeFileError(error);
        return false;
    }
    // The creation mask may have taken bits away; the owner is given back where the user may.
    if (!platform::KeepRights(file_, rights)) {
        Discard();
        return OpenInPlace(inPlaceAllowed);
    }
    position_ = writeBackAt_ = 0;
    return true;
}

// No temporary file can stand in for the target: the target itself is written, as a plain save
// writes it.
bool OutputFile::OpenInPlace(bool allowed) {
    if (!allowed) {
        needsInPlace_ = true;
        return false;
    }
    file_ = WithLargeBuffer(platform::OpenPath(target_, true), buffer_);
    if (file_ == nullptr) {
        error_ = DescribeFileError(errno);
        return false;
    }
    position_ = writeBackAt_ = 0;
    return true;
}

bool OutputFile::Write(const void* data, size_t n) {
    if (file_ == nullptr) {
        return false;
    }
    if (n != 0 && std::fwrite(data, 1, n, file_) != n) {
        error_ = DescribeFileError(errno);
        return false;
    }
    position_ += n;
    // The disk takes the file while the rest is still being made, so that Commit's flush to the
    // disk waits only for the last part.
    if (position_ >= writeBackAt_ + kWriteBackBytes) {
        writeBackAt_ = position_;
        if (std::fflush(file_) != 0) {
            error_ = DescribeFileError(errno);
            return false;
        }
        platform::StartWriteBack(file_);
    }
    return true;
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t n) {
    if (file_ == nullptr || offset > position_ || n > position_ - offset) {
        return false;
    }
    if (std::fflush(file_) != 0 || !platform::SeekTo(file_, offset) ||
        std::fwrite(data, 1, n, file_) != n || std::fflush(file_) != 0 ||
        !platform::SeekTo(file_, position_)) {
        error_ = DescribeFileError(errno);
        return false;
    }
    return true;
}

bool OutputFile::Commit() {
    if (file_ == nullptr) {
        return false;
    }
    const bool flushed = platform::FlushToDisk(file_);
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    buffer_.reset();
    if (!flushed || !closed) {
        error_ = DescribeFileError(!flushed ? flushError : closeError);
        Discard();
        return false;
    }
    if (temporary_.empty()) {
        return true;  // written in place
    }
    if (std::string error = platform::ReplaceTarget(temporary_, target_); !error.empty()) {
        error_ = std::move(error);
        Discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    buffer_.reset();
    if (!temporary_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        temporary_.clear();
    }
}

}  // namespace kx
