// Where the build put the programs and files a test runs or reads.
#pragma once

#include <string>
#include <string_view>

namespace kx::test {

// The path the test's CMakeLists gave NAME with kx_test_paths. The paths are written into one
// small generated file of each such test (build_paths.cpp.in), so that no other test object
// depends on the folder of the build and the compiler cache serves clones in other folders. A
// name the test was not given ends the test program with a message.
std::string BuildPath(std::string_view name);

}  // namespace kx::test
