// Unpacking items: folders, files, read-only items, times, damaged data, names and links leading out.
#include <sys/stat.h>
#include <unistd.h>

#include "archive/ArchiveFixture.h"

namespace testzip {
namespace {

constexpr std::uint32_t T1 = 1600000000;
constexpr std::uint32_t T2 = 1500000000;

// Lines that deflate into Huffman-coded blocks, so damage to them shows when inflating.
std::string CompressibleText(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "line " + std::to_string(i) + " of the test data, " + std::to_string(i * 7919 % 1000) + "\n";
    return text;
}

TEST_F(ArchiveTest, FolderItemCreatesItsWholePathAndMayRunTwice)
{
    ArchivePtr archive = OpenEntries({Dir("a/b/c/")});
    ASSERT_TRUE(archive);
    // The name argument is not used for folder items.
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "elsewhere/"), ARCHIVE_OK);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "a/b/c/"), ARCHIVE_OK);
    EXPECT_EQ(ListTree(root), (std::vector<std::string>{"a/", "a/b/", "a/b/c/"}));
}

TEST_F(ArchiveTest, FileItemGetsTheFoldersItsNameNeeds)
{
    const std::string text = CompressibleText(3000);
    ArchivePtr archive = OpenEntries({File("x/y/z.txt", text), File("top.txt", "top")});
    ASSERT_TRUE(archive);
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 1, "top.txt"), ARCHIVE_OK);
    EXPECT_EQ(ListTree(root), std::vector<std::string>{"top.txt"});
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 0, "x/y/z.txt"), ARCHIVE_OK);
    EXPECT_EQ(ListTree(root), (std::vector<std::string>{"top.txt", "x/", "x/y/", "x/y/z.txt"}));
    EXPECT_TRUE(ReadBytes(root / "x/y/z.txt") == text);
    // The caller's name decides where the data goes.
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 1, "copy/of/top.txt"), ARCHIVE_OK);
    EXPECT_EQ(ReadBytes(root / "copy/of/top.txt"), "top");
}

TEST_F(ArchiveTest, OverwritingReplacesTheWholeFile)
{
    ArchivePtr archive = OpenEntries({File("f.txt", "short")});
    ASSERT_TRUE(archive);
    WriteBytes(root / "f.txt", "a much longer earlier content");
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 0, "f.txt"), ARCHIVE_OK);
    EXPECT_EQ(ReadBytes(root / "f.txt"), "short");
}

// Windows refuses to overwrite a read-only file; the superuser here could, so the reader must check.
TEST_F(ArchiveTest, WindowsMadeItemsComeOutReadOnlyAndAreNotOverwritten)
{
    Entry windowsFile = File("win.txt", "from windows");
    windowsFile.external = kWindowsFile;
    Entry windowsNested = File("sub/win2.txt", "nested");
    windowsNested.external = kWindowsFile;
    ArchivePtr archive = OpenEntries({windowsFile, windowsNested, File("unix.txt", "from unix")});
    ASSERT_TRUE(archive);

    for (int i = 0; i < 3; ++i) {
        ArchiveItem item{};
        ASSERT_EQ(GetArchiveItem(archive.get(), i, item), ARCHIVE_OK);
        EXPECT_EQ(UnzipArchiveItem(archive.get(), i, item.name), ARCHIVE_OK) << item.name;
    }
    EXPECT_EQ(Stat(root / "win.txt").st_mode & 0222, 0u);
    EXPECT_EQ(Stat(root / "sub/win2.txt").st_mode & 0222, 0u);
    EXPECT_NE(Stat(root / "unix.txt").st_mode & 0200, 0u);

    SCOPED_TRACE(geteuid() == 0 ? "running as root" : "running as a user");
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "win.txt"), ARCHIVE_CANNOT_CREATE);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 1, "sub/win2.txt"), ARCHIVE_CANNOT_CREATE);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 2, "unix.txt"), ARCHIVE_OK);
    EXPECT_EQ(ReadBytes(root / "win.txt"), "from windows");
}

TEST_F(ArchiveTest, ReadOnlyItemOverAWritableFileLeavesItReadOnly)
{
    Entry windowsFile = File("f.txt", "new");
    windowsFile.external = kWindowsFile;
    ArchivePtr archive = OpenEntries({windowsFile});
    ASSERT_TRUE(archive);
    WriteBytes(root / "f.txt", "old");
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 0, "f.txt"), ARCHIVE_OK);
    EXPECT_EQ(ReadBytes(root / "f.txt"), "new");
    EXPECT_EQ(Stat(root / "f.txt").st_mode & 0222, 0u);
}

TEST_F(ArchiveTest, UnpackedFileTakesTheRecordTimes)
{
    Entry stamped = File("stamped.txt");
    stamped.localExtra = UtBlock(3, {T1, T2});
    Entry badDate = File("bad-date.txt");
    badDate.dosDateTime = 0; // month 0: no MS-DOS time to set
    ArchivePtr archive = OpenEntries({stamped, badDate});
    ASSERT_TRUE(archive);
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 0, "stamped.txt"), ARCHIVE_OK);
    const struct stat st = Stat(root / "stamped.txt");
    EXPECT_EQ(st.st_mtim.tv_sec, T1);
    EXPECT_EQ(st.st_atim.tv_sec, T2);
    EXPECT_EQ(st.st_mtim.tv_nsec, 0);

    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(UnzipArchiveItem(archive.get(), 1, "bad-date.txt"), ARCHIVE_OK);
    EXPECT_GE(Stat(root / "bad-date.txt").st_mtime, before);
}

TEST_F(ArchiveTest, DamagedDataLeavesAPartialFileWithoutTheArchiveTimes)
{
    const std::string text = CompressibleText(20000);
    const std::string packed = RawDeflate(text);
    // Two stored deflate blocks, the second with a length its complement contradicts: inflating
    // fails for certain, after the first block's 40000 bytes have come out.
    const std::string invalidLengths = std::string(1, '\x00') + LE16(40000) + LE16(~40000u & 0xFFFF) +
                                       text.substr(0, 40000) + std::string(1, '\x01') + LE16(100) + LE16(100) +
                                       text.substr(40000, 100);
    struct Case {
        const char* label;
        std::string packed;
    };
    const Case cases[] = {
        {"stream cut short", packed.substr(0, packed.size() / 2)},
        {"stored block of invalid length", invalidLengths},
    };
    for (const Case& c : cases) {
        Entry damaged = File("damaged.txt", text);
        damaged.packed = c.packed;
        ArchivePtr archive = OpenRaw(BuildRawZip({damaged}));
        ASSERT_TRUE(archive) << c.label;
        const std::time_t before = std::time(nullptr);
        EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "damaged.txt"), ARCHIVE_WRITE_FAILED) << c.label;
        const fs::path out = root / "damaged.txt";
        ASSERT_TRUE(fs::exists(out)) << c.label;
        EXPECT_GT(fs::file_size(out), 0u) << c.label;
        EXPECT_LT(fs::file_size(out), text.size()) << c.label;
        EXPECT_TRUE(ReadBytes(out) == text.substr(0, fs::file_size(out))) << c.label;
        EXPECT_GE(Stat(out).st_mtime, before) << c.label;
        fs::remove(out);
    }
}

TEST_F(ArchiveTest, DataThatCannotBeReadFailsAfterCreatingTheFile)
{
    Entry unknownMethod = File("lzma.bin", "pretend LZMA data");
    unknownMethod.method = 14;
    Entry encrypted = File("secret.txt", "encrypted");
    encrypted.method = 0;
    encrypted.flags = 1;
    ArchivePtr archive = OpenRaw(BuildRawZip({unknownMethod, encrypted}));
    ASSERT_TRUE(archive);
    for (const char* name : {"lzma.bin", "secret.txt"}) {
        ArchiveItem item{};
        const int index = std::string(name) == "lzma.bin" ? 0 : 1;
        ASSERT_EQ(GetArchiveItem(archive.get(), index, item), ARCHIVE_OK) << name;
        EXPECT_EQ(UnzipArchiveItem(archive.get(), index, name), ARCHIVE_WRITE_FAILED) << name;
        EXPECT_EQ(fs::file_size(root / name), 0u) << name;
    }
}

TEST_F(ArchiveTest, RootIsTheCurrentDirectoryAtOpen)
{
    ArchivePtr archive = OpenEntries({File("a/f.txt", "f"), Dir("d/")});
    ASSERT_TRUE(archive);
    CurrentDir elsewhere(outside);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "a/f.txt"), ARCHIVE_OK);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 1, "d/"), ARCHIVE_OK);
    EXPECT_EQ(ListTree(root), (std::vector<std::string>{"a/", "a/f.txt", "d/"}));
    EXPECT_TRUE(ListTree(outside).empty());
}

TEST_F(ArchiveTest, NamesLeadingOutsideTheRootAreRefused)
{
    const std::string outsideAbs = outside.string();
    const std::string deep = std::string(200, 'd') + "/";
    const std::string name259 = deep + std::string(259 - deep.size(), 'f');
    const std::string name260 = deep + std::string(260 - deep.size(), 'f');
    struct Case {
        const char* label;
        Entry entry;
    };
    const Case cases[] = {
        {"absolute file", File(outsideAbs + "/abs.txt")},
        {"absolute folder", Dir(outsideAbs + "/absdir/")},
        {"parent step", File("../outside/up.txt")},
        {"parent step deeper in", File("a/../../outside/up2.txt")},
        {"parent step as a folder", Dir("../outside/updir/")},
        {"parent step with backslashes", File("a\\..\\..\\outside\\bs.txt")},
        {"trailing parent step", Dir("a/..")},
        {"drive letter", File("C:/drive.txt")},
        {"backslash root", File("\\rooted.txt")},
        {"260 characters", File(name260)},
    };
    std::vector<Entry> entries;
    for (const Case& c : cases)
        entries.push_back(c.entry);
    entries.push_back(File(name259, "fits"));
    ArchivePtr archive = OpenEntries(entries);
    ASSERT_TRUE(archive);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        ArchiveItem item = Sentinel();
        EXPECT_EQ(GetArchiveItem(archive.get(), i, item), ARCHIVE_BAD_HEADER) << cases[i].label;
        EXPECT_TRUE(IsSentinel(item)) << cases[i].label;
        EXPECT_EQ(UnzipArchiveItem(archive.get(), i, cases[i].entry.name), ARCHIVE_BAD_HEADER) << cases[i].label;
    }
    const int last = static_cast<int>(std::size(cases));
    ArchiveItem item{};
    ASSERT_EQ(GetArchiveItem(archive.get(), last, item), ARCHIVE_OK);
    EXPECT_EQ(std::string(item.name), name259);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), last, item.name), ARCHIVE_OK);
    EXPECT_EQ(ReadBytes(root / name259), "fits");

    // A readable item asked to land outside.
    for (const std::string& name : {std::string("../outside/given.txt"), outsideAbs + "/given.txt", std::string("a/../../x.txt")})
        EXPECT_EQ(UnzipArchiveItem(archive.get(), last, name), ARCHIVE_CANNOT_CREATE) << name;

    EXPECT_TRUE(ListTree(outside).empty());
    EXPECT_TRUE(StrayFiles().empty());
    EXPECT_EQ(ListTree(root), (std::vector<std::string>{deep, name259}));
}

// A link planted below the root, as anyone could in a shared temporary folder, is never followed.
TEST_F(ArchiveTest, LinksBelowTheRootAreNotFollowed)
{
    fs::create_directory_symlink(outside, root / "linkdir");
    WriteBytes(scratch.path() / "target.txt", "keep");
    fs::create_symlink(scratch.path() / "target.txt", root / "linkfile");
    ArchivePtr archive = OpenEntries({File("linkdir/evil.txt"), Dir("linkdir/sub/"), File("linkfile", "overwritten")});
    ASSERT_TRUE(archive);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "linkdir/evil.txt"), ARCHIVE_CANNOT_CREATE);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 1, "linkdir/sub/"), ARCHIVE_OK);
    EXPECT_EQ(UnzipArchiveItem(archive.get(), 2, "linkfile"), ARCHIVE_CANNOT_CREATE);
    EXPECT_TRUE(ListTree(outside).empty());
    EXPECT_EQ(ReadBytes(scratch.path() / "target.txt"), "keep");
}

} // namespace
} // namespace testzip
