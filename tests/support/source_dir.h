// Where the source tree is, for tests that read its files: samples, help pages, the resource
// script and the bitmap corpus beside the tree.
#pragma once

#include <filesystem>

namespace kx::test {

// The folder the KX_SOURCE_DIR environment variable names (CTest sets it), or else the source
// tree the build was configured from. It is written into one small file of the build
// (source_dir.cpp.in), so that no other test object depends on where the tree is and the
// compiler cache serves clones in other folders.
std::filesystem::path SourceDir();

}  // namespace kx::test
