#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "doc/file_io.h"
#include "temp_folder.h"

namespace kx {
namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'd', 'a', 't', 'a'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w'};

TEST(OutputFile, CommitReplacesTheTargetAndLeavesNothingElse) {
    test::TempFolder folder;
    test::WriteAll(folder / "t.avi", kOld);
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "t.avi")) << file.Error();
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    EXPECT_EQ(3u, file.Position());
    // Until the commit the old file is untouched.
    EXPECT_EQ(kOld, test::ReadAll(folder / "t.avi"));
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_EQ(kNew, test::ReadAll(folder / "t.avi"));
    EXPECT_EQ(std::vector<std::string>{"t.avi"}, folder.Entries());
}

TEST(OutputFile, WithoutCommitTheTargetStaysAsItWas) {
    test::TempFolder folder;
    test::WriteAll(folder / "t.avi", kOld);
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(folder / "t.avi"));
        ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
        EXPECT_EQ(2u, folder.Entries().size());
    }
    EXPECT_EQ(kOld, test::ReadAll(folder / "t.avi"));
    EXPECT_EQ(std::vector<std::string>{"t.avi"}, folder.Entries());

    OutputFile discarded;
    ASSERT_TRUE(discarded.Open(folder / "t.avi"));
    discarded.Discard();
    EXPECT_FALSE(discarded.Write(kNew.data(), kNew.size()));
    EXPECT_FALSE(discarded.Commit());
    EXPECT_EQ(kOld, test::ReadAll(folder / "t.avi"));
    EXPECT_EQ(std::vector<std::string>{"t.avi"}, folder.Entries());
}

TEST(OutputFile, NewTargetAppearsOnlyOnCommit) {
    test::TempFolder folder;
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "n.bmp"));
    EXPECT_FALSE(std::filesystem::exists(folder / "n.bmp"));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(std::vector<uint8_t>{}, test::ReadAll(folder / "n.bmp"));
}

TEST(OutputFile, RefusesFoldersAndMissingFoldersWithAReason) {
    test::TempFolder folder;
    OutputFile file;
    EXPECT_FALSE(file.Open(folder.Path()));
    EXPECT_EQ("is a folder", file.Error());
    EXPECT_FALSE(file.Open(folder / "absent" / "x.avi"));
    EXPECT_EQ("no such file or folder", file.Error());
    EXPECT_TRUE(folder.Entries().empty());
}

TEST(OutputFile, UnicodeNamesWork) {
    test::TempFolder folder;
    const auto name = std::filesystem::path(u8"\u52d5\u753b-\u00e9t\u00e9.avi");
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / name)) << file.Error();
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    ASSERT_TRUE(file.Commit()) << file.Error();
    InputFile in;
    ASSERT_TRUE(in.Open(folder / name));
    EXPECT_EQ(3u, in.Size());
}

TEST(InputFile, ReadsSkipsAndCountsWhatIsLeft) {
    test::TempFolder folder;
    test::WriteAll(folder / "i.bin", kOld);
    InputFile in;
    ASSERT_TRUE(in.Open(folder / "i.bin"));
    EXPECT_EQ(8u, in.Size());
    uint8_t two[2] = {};
    ASSERT_TRUE(in.ReadExact(two, 2));
    EXPECT_EQ('l', two[1]);
    EXPECT_TRUE(in.Skip(3));
    EXPECT_EQ(5u, in.Position());
    EXPECT_EQ(3u, in.Remaining());
    EXPECT_FALSE(in.Skip(4));
    EXPECT_EQ(5u, in.Position());
    uint8_t rest[8] = {};
    EXPECT_EQ(3u, in.Read(rest, sizeof rest));
    EXPECT_EQ('a', rest[2]);
    EXPECT_EQ(0u, in.Remaining());
    EXPECT_FALSE(in.ReadExact(rest, 1));
}

TEST(InputFile, MissingFilesAndFoldersDoNotOpen) {
    test::TempFolder folder;
    InputFile in;
    EXPECT_FALSE(in.Open(folder / "absent.bmp"));
    EXPECT_FALSE(in.Open(folder.Path()));
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(0u, in.Remaining());
}

}  // namespace
}  // namespace kx
