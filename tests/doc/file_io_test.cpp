#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "doc/file_io.h"
#include "support/same_bytes.h"
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
    EXPECT_TRUE(test::SameBytes(kOld, test::ReadAll(folder / "t.avi")));
    ASSERT_TRUE(file.Commit()) << file.Error();
    EXPECT_TRUE(test::SameBytes(kNew, test::ReadAll(folder / "t.avi")));
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
    EXPECT_TRUE(test::SameBytes(kOld, test::ReadAll(folder / "t.avi")));
    EXPECT_EQ(std::vector<std::string>{"t.avi"}, folder.Entries());

    OutputFile discarded;
    ASSERT_TRUE(discarded.Open(folder / "t.avi"));
    discarded.Discard();
    EXPECT_FALSE(discarded.Write(kNew.data(), kNew.size()));
    EXPECT_FALSE(discarded.Commit());
    EXPECT_TRUE(test::SameBytes(kOld, test::ReadAll(folder / "t.avi")));
    EXPECT_EQ(std::vector<std::string>{"t.avi"}, folder.Entries());
}

TEST(OutputFile, WriteAtWritesOverWhatIsThereAndWritingGoesOnAtTheEnd) {
    // More than the system is told to write back at once, in blocks as the writers write.
    test::TempFolder folder;
    std::vector<uint8_t> expected(1200000);
    for (size_t i = 0; i < expected.size(); ++i) {
        expected[i] = uint8_t(i * 7 + i / 1000);
    }
    OutputFile file;
    ASSERT_TRUE(file.Open(folder / "w.avi")) << file.Error();
    for (size_t at = 0; at < expected.size(); at += 10000) {
        ASSERT_TRUE(file.Write(expected.data() + at, 10000));
    }
    const uint8_t head[4] = {'H', 'E', 'A', 'D'};
    EXPECT_TRUE(file.WriteAt(0, head, 4)) << file.Error();
    EXPECT_TRUE(file.WriteAt(expected.size() - 4, head, 4)) << file.Error();
    EXPECT_FALSE(file.WriteAt(expected.size() - 3, head, 4));  // past the end
    EXPECT_FALSE(file.WriteAt(expected.size() + 1, head, 0));
    EXPECT_EQ(expected.size(), file.Position());
    ASSERT_TRUE(file.Write(kNew.data(), kNew.size()));
    ASSERT_TRUE(file.Commit()) << file.Error();
    std::copy(head, head + 4, expected.begin());
    std::copy(head, head + 4, expected.end() - 4);
    expected.insert(expected.end(), kNew.begin(), kNew.end());
    EXPECT_TRUE(test::SameBytes(expected, test::ReadAll(folder / "w.avi")));
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

// Saving over a file writes where a plain write of the name would, and keeps the file's
// permission bits, its owner and the link that leads to it. The other user is nobody (tested as
// root); on Windows the user saves.
enum class Other { None, Saves, OwnsTheFile };

constexpr unsigned kNobody = 65534;

// Open, Write and Commit of kNew at path, in a child process of the other user when asked.
bool Save(const std::filesystem::path& path, [[maybe_unused]] bool asOther) {
    const auto save = [&path] {
        OutputFile file;
        return file.Open(path) && file.Write(kNew.data(), kNew.size()) && file.Commit();
    };
#ifndef _WIN32
    if (const pid_t child = asOther ? fork() : -1; child == 0) {
        _exit(setgid(kNobody) == 0 && setuid(kNobody) == 0 && save() ? 0 : 1);
    } else if (child > 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
#endif
    return save();
}

TEST(OutputFile, ReplacingKeepsWhatTheFileWas) {
    namespace fs = std::filesystem;
    const struct {
        const char* what;
        bool posixOnly;
        bool link;  // the name saved to is a symbolic link to the file
        unsigned fileMode;
        unsigned folderMode;
        Other other;
        bool longName;  // no temporary name fits beside the file
        bool saved;
    } cases[] = {
        {"a link to a file of mode 666", true, true, 0666, 0755, Other::None, false, true},
        {"no temporary name: written in place", false, false, 0644, 0755, Other::None, true, true},
        {"a read-only file", false, false, 0444, 0777, Other::Saves, false, false},
        {"a writable file in a folder the user may not write", true, false, 0666, 0755,
         Other::Saves, false, true},
        {"another user's save", true, false, 0666, 0777, Other::Saves, false, true},
        {"the administrator's save of a file of mode 600", true, false, 0600, 0755,
         Other::OwnsTheFile, false, true},
    };
#ifdef _WIN32
    const bool posix = false;
    const fs::perms compared = fs::perms::owner_write;  // all Windows keeps of the bits
#else
    const bool posix = true;
    const fs::perms compared = fs::perms::mask;
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
#ifndef _WIN32
        if (c.other != Other::None && geteuid() != 0) {
            std::printf("skipped without root: %s\n", c.what);
            continue;
        }
#endif
        if (c.posixOnly && !posix) {
            continue;
        }
        test::TempFolder folder;
        const fs::path real = folder / (std::string(c.longName ? 250 : 5, 'f') + ".avi");
        const fs::path name = c.link ? folder / "link.avi" : real;
        test::WriteAll(real, kOld);
        if (c.link) {
            fs::create_symlink(real.filename(), name);
        }
        fs::permissions(real, fs::perms(c.fileMode));
#ifndef _WIN32
        struct stat before {};
        ASSERT_EQ(0, c.other == Other::OwnsTheFile ? chown(real.c_str(), kNobody, kNobody) : 0);
        ASSERT_EQ(0, stat(real.c_str(), &before));
#endif
        fs::permissions(folder.Path(), fs::perms(c.folderMode));
        EXPECT_EQ(c.saved, Save(name, c.other == Other::Saves));
        fs::permissions(folder.Path(), fs::perms::owner_all);
        EXPECT_TRUE(test::SameBytes(c.saved ? kNew : kOld, test::ReadAll(real)));
        EXPECT_EQ(c.link, fs::is_symlink(name));
        EXPECT_EQ(fs::perms(c.fileMode) & compared, fs::status(real).permissions() & compared);
        EXPECT_EQ(c.link ? 2u : 1u, folder.Entries().size());
        fs::permissions(real, fs::perms::owner_all);
#ifndef _WIN32
        struct stat after {};
        ASSERT_EQ(0, stat(real.c_str(), &after));
        EXPECT_EQ(before.st_uid, after.st_uid);
        EXPECT_EQ(before.st_gid, after.st_gid);
#endif
    }
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
