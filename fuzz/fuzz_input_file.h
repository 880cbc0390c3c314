// The loaders take a path, as in the program: each fuzz input is written to one private file
// that the loader then reads through the production code path.
#pragma once

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kx::fuzz {

inline const std::filesystem::path& InputPath(const char* extension) {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("kx-fuzz-" + std::to_string(getpid()) + extension);
    return path;
}

// Writes the input to the private file; aborts when that is impossible (a broken set-up, not a
// finding).
inline const std::filesystem::path& WriteInput(const char* extension, const uint8_t* data,
                                               size_t size) {
    const std::filesystem::path& path = InputPath(extension);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    return path;
}

}  // namespace kx::fuzz
