// The file system calls of POSIX systems.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "doc/file_io_platform.h"
#include "doc/frame_bytes.h"

namespace kx::platform {

std::FILE* OpenPath(const std::filesystem::path& path, bool write) {
    return std::fopen(path.c_str(), write ? "wb" : "rb");
}

bool MayWrite(const std::filesystem::path& path) {
    return access(path.c_str(), W_OK) == 0;
}

FileRights RightsOf(const std::filesystem::path& path, bool exists) {
    struct stat old {};
    FileRights rights;
    if (exists && stat(path.c_str(), &old) == 0) {
        rights = {true, unsigned(old.st_mode & 07777), unsigned(old.st_uid), unsigned(old.st_gid)};
    }
    return rights;
}

std::FILE* CreateExclusive(const std::filesystem::path& path, const FileRights& rights) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, rights.mode);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        unlink(path.c_str());
        errno = error;
    }
    return file;
}

bool KeepRights(std::FILE* file, const FileRights& rights) {
    if (!rights.known) {
        return true;
    }
    struct stat made {};
    const int fd = fileno(file);
    return fchmod(fd, rights.mode) == 0 && fstat(fd, &made) == 0 &&
           ((made.st_uid == rights.owner && made.st_gid == rights.group) ||
            fchown(fd, rights.owner, rights.group) == 0);
}

bool SeekForward(std::FILE* file, uint64_t n) {
    return fseeko(file, static_cast<off_t>(n), SEEK_CUR) == 0;
}

bool SeekTo(std::FILE* file, uint64_t offset) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

void StartWriteBack(std::FILE* file) {
#ifdef SYNC_FILE_RANGE_WRITE
    sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)file;
#endif
}

bool FlushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

std::string ReplaceTarget(const std::filesystem::path& temporary,
                          const std::filesystem::path& target) {
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        return ec.message();
    }
    // The new name is on the disk only once the folder is.
    const int folder = open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                            O_RDONLY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return {};
}

}  // namespace kx::platform

namespace kx {

void PreferLargePages(void* block, size_t n) {
#ifdef MADV_HUGEPAGE
    // Only the whole large pages inside the block can be advised.
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    const uintptr_t start = (uintptr_t(block) + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (uintptr_t(block) + n) & ~(kLargePage - 1);
    if (end > start) {
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
#else
    (void)block;
    (void)n;
#endif
}

}  // namespace kx
