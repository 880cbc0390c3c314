// One comparison for two blocks of bytes (files, frames, decoded pictures): when they differ it
// says their sizes and the first offset where they part, with the bytes there, instead of
// printing both blocks whole or nothing at all.
#ifndef KINETRIX_TESTS_SUPPORT_SAME_BYTES_H
#define KINETRIX_TESTS_SUPPORT_SAME_BYTES_H

#include <gtest/gtest.h>

#include <cstddef>
#include <ios>
#include <ranges>

namespace kx::test {

// EXPECT_TRUE(test::SameBytes(expected, actual)) for any two ranges of char-sized elements.
template <std::ranges::contiguous_range A, std::ranges::contiguous_range B>
requires(sizeof(std::ranges::range_value_t<A>) == 1 &&
         sizeof(std::ranges::range_value_t<B>) == 1)::testing::AssertionResult
    SameBytes(const A& expected, const B& actual) {
    const auto e = std::ranges::data(expected);
    const auto a = std::ranges::data(actual);
    const size_t eSize = std::ranges::size(expected);
    const size_t aSize = std::ranges::size(actual);
    size_t at = 0;
    while (at < eSize && at < aSize &&
           static_cast<unsigned char>(e[at]) == static_cast<unsigned char>(a[at])) {
        ++at;
    }
    if (at == eSize && at == aSize) {
        return ::testing::AssertionSuccess();
    }
    auto result = ::testing::AssertionFailure();
    result << "expected " << eSize << " bytes, got " << aSize << "; first difference at byte " << at
           << " (0x" << std::hex << at << ")";
    const auto byteAt = [&result](const char* what, auto data, size_t size, size_t offset) {
        result << ", " << what << " ";
        if (offset < size) {
            result << "0x" << static_cast<unsigned>(static_cast<unsigned char>(data[offset]));
        } else {
            result << "(ends)";
        }
    };
    byteAt("expected", e, eSize, at);
    byteAt("got", a, aSize, at);
    return result;
}

}  // namespace kx::test

#endif  // KINETRIX_TESTS_SUPPORT_SAME_BYTES_H
