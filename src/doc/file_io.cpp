#include "doc/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#ifdef _WIN32
// The one system call the C runtime has no counterpart for: replacing a file while keeping its
// attributes, owner and access rights.
extern "C" __declspec(dllimport) int __stdcall ReplaceFileW(const wchar_t* replaced,
                                                            const wchar_t* replacement,
                                                            const wchar_t* backup,
                                                            unsigned long flags, void* exclude,
                                                            void* reserved);
extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError();
#endif

namespace kx {
namespace {

#ifdef _WIN32
constexpr unsigned long kReplaceFileIgnoreMergeErrors = 0x2;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorSharingViolation = 32;
#endif

std::FILE* OpenPath(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

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

// Whether the user may write the existing file at path; errno says why not.
bool MayWrite(const std::filesystem::path& path) {
#ifdef _WIN32
    return _waccess(path.c_str(), 2) == 0;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

// Opens a new file exclusively (never an existing one) with the given permission bits.
std::FILE* CreateExclusive(const std::filesystem::path& path, unsigned mode) {
#ifdef _WIN32
    const int fd =
        _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    (void)mode;  // the replace keeps the target's attributes and rights
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
#endif
    if (fd < 0) {
        return nullptr;
    }
#ifdef _WIN32
    std::FILE* file = _fdopen(fd, "wb");
#else
    std::FILE* file = fdopen(fd, "wb");
#endif
    if (file == nullptr) {
        const int error = errno;
#ifdef _WIN32
        _close(fd);
        _wremove(path.c_str());
#else
        close(fd);
        unlink(path.c_str());
#endif
        errno = error;
    }
    return file;
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

// Flushes the stream and the system's buffers of its file to the disk.
bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
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
    target_ = FollowLinks(target);
    std::error_code ec;
    if (std::filesystem::is_directory(target_, ec)) {
        error_ = "is a folder";
        return false;
    }
    const bool exists = std::filesystem::exists(target_, ec);
    if (exists && !MayWrite(target_)) {
        error_ = DescribeFileError(errno);
        return false;
    }
#ifdef _WIN32
    const unsigned mode = 0;
#else
    struct stat old {};
    const bool known = exists && stat(target_.c_str(), &old) == 0;
    const unsigned mode = known ? unsigned(old.st_mode & 07777) : 0666u;
#endif
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 16 && file_ == nullptr; ++attempt) {
        auto name = target_.filename();
        name += ".kx-" + std::to_string(random() % 1000000) + ".tmp";
        temporary_ = target_.parent_path() / name;
        file_ = CreateExclusive(temporary_, mode);
        error = file_ == nullptr ? errno : 0;
        if (file_ == nullptr && error != EEXIST) {
            break;
        }
    }
    if (file_ == nullptr) {
        temporary_.clear();
        if (exists && !OutOfRoom(error)) {
            return OpenInPlace();
        }
        error_ = error == EEXIST ? "cannot create a temporary file" : DescribeFileError(error);
        return false;
    }
#ifndef _WIN32
    // The creation mask may have taken bits away; the owner is given back where the user may.
    struct stat made {};
    const int fd = fileno(file_);
    const bool kept = !known || (fchmod(fd, mode) == 0 && fstat(fd, &made) == 0 &&
                                 ((made.st_uid == old.st_uid && made.st_gid == old.st_gid) ||
                                  fchown(fd, old.st_uid, old.st_gid) == 0));
    if (!kept) {
        Discard();
        return OpenInPlace();
    }
#endif
    position_ = 0;
    return true;
}

// No temporary file can stand in for the target: the target itself is written, as a plain save
// writes it.
bool OutputFile::OpenInPlace() {
    file_ = OpenPath(target_, true);
    if (file_ == nullptr) {
        error_ = DescribeFileError(errno);
        return false;
    }
    position_ = 0;
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
    return true;
}

bool OutputFile::Commit() {
    if (file_ == nullptr) {
        return false;
    }
    const bool flushed = FlushToDisk(file_);
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    const int closeError = errno;
    file_ = nullptr;
    if (!flushed || !closed) {
        error_ = DescribeFileError(!flushed ? flushError : closeError);
        Discard();
        return false;
    }
    if (temporary_.empty()) {
        return true;  // written in place
    }
    std::error_code ec;
#ifdef _WIN32
    if (std::filesystem::exists(target_, ec)) {
        if (ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr,
                         kReplaceFileIgnoreMergeErrors, nullptr, nullptr) == 0) {
            const unsigned long code = GetLastError();
            error_ = code == kErrorAccessDenied ? "permission denied"
                     : code == kErrorSharingViolation
                         ? "the file is in use"
                         : "cannot replace the file (system error " + std::to_string(code) + ")";
            Discard();
            return false;
        }
        temporary_.clear();
        return true;
    }
#endif
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) {
        error_ = ec.message();
        Discard();
        return false;
    }
    temporary_.clear();
#ifndef _WIN32
    // The new name is on the disk only once the folder is.
    const int folder = open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                            O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
#endif
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
