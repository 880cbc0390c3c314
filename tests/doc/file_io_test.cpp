#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
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

// Saving over an existing file writes where a plain write of the name would and keeps what the
// file was: its permission bits, its owner, the link that leads to it.
enum class Systems { Both, Posix, Windows };

struct ReplaceCase {
    const char* what;
    Systems systems;
    bool link;            // the name saved to is a symbolic link to the file
    unsigned fileMode;    // permission bits of the existing file
    unsigned folderMode;  // permission bits of its folder
    bool otherUser;       // saved by a user that owns neither (POSIX, needs root to test)
    bool ownedByOther;    // the file belongs to that other user
    size_t nameLength;    // of the file's name; long enough, no temporary name fits beside it
    bool saved;
};

constexpr unsigned kNobody = 65534;

// Open, Write and Commit of kNew at path, as the other user when asked (in a child process).
bool Save(const std::filesystem::path& path, bool otherUser) {
    const auto save = [&path] {
        OutputFile file;
        return file.Open(path) && file.Write(kNew.data(), kNew.size()) && file.Commit();
    };
#ifdef _WIN32
    (void)otherUser;
    return save();
#else
    if (!otherUser) {
        return save();
    }
    const pid_t child = fork();
    if (child == 0) {
        const bool done = setgid(kNobody) == 0 && setuid(kNobody) == 0 && save();
        _exit(done ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

TEST(OutputFile, ReplacingKeepsWhatTheFileWas) {
    const ReplaceCase cases[] = {
        {"mode 600 stays 600", Systems::Posix, false, 0600, 0755, false, false, 5, true},
        {"mode 666 stays 666", Systems::Posix, false, 0666, 0755, false, false, 5, true},
        {"a link leads to the file that is written", Systems::Posix, true, 0644, 0755, false, false,
         5, true},
        {"a link to a file of mode 640", Systems::Posix, true, 0640, 0755, false, false, 5, true},
        {"no room for a temporary name: written in place", Systems::Both, false, 0644, 0755, false,
         false, 250, true},
        {"a file the user may not write is refused", Systems::Posix, false, 0644, 0777, true, false,
         5, false},
        {"a read-only file is refused", Systems::Windows, false, 0444, 0755, false, false, 5,
         false},
        {"a writable file in a folder the user may not write", Systems::Posix, false, 0666, 0755,
         true, false, 5, true},
        {"another user's save keeps the owner", Systems::Posix, false, 0666, 0777, true, false, 5,
         true},
        {"the owner's own file saved by the administrator", Systems::Posix, false, 0644, 0755,
         false, true, 5, true},
    };
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        namespace fs = std::filesystem;
#ifdef _WIN32
        // Windows keeps only a read-only flag of the permission bits.
        const fs::perms compared = fs::perms::owner_write;
        if (c.systems == Systems::Posix) {
            continue;
        }
#else
        const fs::perms compared = fs::perms::mask;
        if (c.systems == Systems::Windows) {
            continue;
        }
        if ((c.otherUser || c.ownedByOther) && geteuid() != 0) {
            std::printf("skipped without root: %s\n", c.what);
            continue;
        }
#endif
        test::TempFolder folder;
        const fs::path real = folder / (std::string(c.nameLength, 'f') + ".avi");
        test::WriteAll(real, kOld);
        fs::path name = real;
        if (c.link) {
            name = folder / "link.avi";
            fs::create_symlink(real.filename(), name);
        }
        fs::permissions(real, fs::perms(c.fileMode));
#ifndef _WIN32
        struct stat before {};
        if (c.ownedByOther) {
            ASSERT_EQ(0, chown(real.c_str(), kNobody, kNobody));
        }
        ASSERT_EQ(0, stat(real.c_str(), &before));
#endif
        fs::permissions(folder.Path(), fs::perms(c.folderMode));
        const bool saved = Save(name, c.otherUser);
        fs::permissions(folder.Path(), fs::perms::owner_all);
        EXPECT_EQ(c.saved, saved);
        EXPECT_EQ(c.saved ? kNew : kOld, test::ReadAll(real));
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
