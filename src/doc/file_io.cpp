#include "doc/file_io.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace kx {
namespace {

std::FILE* OpenPath(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
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
    file_ = OpenPath(path, false);
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
#ifdef _WIN32
    const int moved = _fseeki64(file_, static_cast<int64_t>(n), SEEK_CUR);
#else
    const int moved = fseeko(file_, static_cast<off_t>(n), SEEK_CUR);
#endif
    if (moved != 0) {
        return false;
    }
    position_ += n;
    return true;
}

bool OutputFile::Open(const std::filesystem::path& target) {
    Discard();
    error_.clear();
    target_ = target;
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec)) {
        error_ = "is a folder";
        return false;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto name = target.filename();
        name += ".kx-" + std::to_string(random() % 1000000) + ".tmp";
        temporary_ = target.parent_path() / name;
        if (std::filesystem::exists(temporary_, ec)) {
            continue;
        }
        file_ = OpenPath(temporary_, true);
        if (file_ != nullptr) {
            position_ = 0;
            return true;
        }
        error_ = DescribeFileError(errno);
        break;
    }
    if (error_.empty()) {
        error_ = "cannot create a temporary file";
    }
    temporary_.clear();
    return false;
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
    return true;
}

bool OutputFile::Commit() {
    if (file_ == nullptr) {
        return false;
    }
    const bool flushed = std::fflush(file_) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    if (!flushed || !closed) {
        error_ = DescribeFileError(!flushed ? flushError : closeError);
        Discard();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) {
        error_ = ec.message();
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
    if (!temporary_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        temporary_.clear();
    }
}

}  // namespace kx
