// The system calls behind file_io.cpp, one file per platform (file_io_posix.cpp,
// file_io_win.cpp); only the one for the build's platform is compiled.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kx::platform {

// The permission bits and owner of a file about to be replaced, for the temporary file that
// replaces it.
struct FileRights {
    bool known = false;  // read from an existing file
    unsigned mode = 0666;
    unsigned owner = 0;
    unsigned group = 0;
};

std::FILE* OpenPath(const std::filesystem::path& path, bool write);
// Whether the user may write the existing file at path; errno says why not.
bool MayWrite(const std::filesystem::path& path);
// The rights of the file at path when it exists.
FileRights RightsOf(const std::filesystem::path& path, bool exists);
// Opens a new file exclusively (never an existing one) with the given rights' permission bits;
// errno says why not.
std::FILE* CreateExclusive(const std::filesystem::path& path, const FileRights& rights);
// Gives the new file the permission bits the creation mask took away, and the owner where the
// user may; false when it cannot have them.
bool KeepRights(std::FILE* file, const FileRights& rights);
// Moves forward by n bytes.
bool SeekForward(std::FILE* file, uint64_t n);
// Moves to offset bytes from the start.
bool SeekTo(std::FILE* file, uint64_t offset);
// Asks the system to start writing what the file holds so far to the disk, without waiting.
void StartWriteBack(std::FILE* file);
// Flushes the stream and the system's buffers of its file to the disk.
bool FlushToDisk(std::FILE* file);
// Puts the written temporary file in the target's place; empty on success, else why not.
std::string ReplaceTarget(const std::filesystem::path& temporary,
                          const std::filesystem::path& target);

}  // namespace kx::platform
