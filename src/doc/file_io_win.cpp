// The file system calls of Windows: the C runtime's wide-character functions, and ReplaceFileW,
// which replaces a file keeping its attributes, owner and access rights.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "doc/file_io_platform.h"
#include "doc/frame_bytes.h"

namespace kx::platform {

std::FILE* OpenPath(const std::filesystem::path& path, bool write) {
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
}

bool MayWrite(const std::filesystem::path& path) {
    return _waccess(path.c_str(), 2) == 0;
}

FileRights RightsOf(const std::filesystem::path&, bool) {
    // The replace keeps the target's attributes and rights itself.
    return {};
}

std::FILE* CreateExclusive(const std::filesystem::path& path, const FileRights&) {
    const int fd =
        _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        _close(fd);
        _wremove(path.c_str());
        errno = error;
    }
    return file;
}

bool KeepRights(std::FILE*, const FileRights&) {
    return true;
}

bool SeekForward(std::FILE* file, uint64_t n) {
    return _fseeki64(file, static_cast<int64_t>(n), SEEK_CUR) == 0;
}

bool SeekTo(std::FILE* file, uint64_t offset) {
    return _fseeki64(file, static_cast<int64_t>(offset), SEEK_SET) == 0;
}

// The C runtime's files offer no write-back without waiting for it; Commit flushes it all.
void StartWriteBack(std::FILE*) {}

bool FlushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

std::string ReplaceTarget(const std::filesystem::path& temporary,
                          const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec)) {
        std::filesystem::rename(temporary, target, ec);
        return ec ? ec.message() : std::string();
    }
    if (::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                       nullptr, nullptr) != 0) {
        return {};
    }
    const DWORD code = ::GetLastError();
    if (code == ERROR_ACCESS_DENIED) {
        return "permission denied";
    }
    if (code == ERROR_SHARING_VIOLATION) {
        return "the file is in use";
    }
    return "cannot replace the file (system error " + std::to_string(code) + ")";
}

}  // namespace kx::platform

namespace kx {

void PreferLargePages(void*, size_t) {
    // Large pages need a privilege ordinary users do not have: the block keeps small pages.
}

}  // namespace kx
