// Reading item records: the count answer, attributes, times, positioning, refused archives and headers.
#include <sys/stat.h>

#include <functional>

#include "archive/ArchiveFixture.h"

namespace testzip {
namespace {

constexpr std::uint32_t T1 = 1600000000; // 13 Sep 2020
constexpr std::uint32_t T2 = 1500000000; // 14 Jul 2017
constexpr std::uint32_t T3 = 1400000000; // 13 May 2014
constexpr std::int64_t kDos = -1;        // "the MS-DOS time" in the tables below

TEST_F(ArchiveTest, CountAnswerCarriesOnlyTheNumberOfItems)
{
    for (const std::vector<Entry>& entries : {std::vector<Entry>{}, {Dir("a/"), File("a/b.txt"), File("c.txt")}}) {
        ArchivePtr archive = OpenEntries(entries);
        ASSERT_TRUE(archive);
        ArchiveItem item = Sentinel();
        ASSERT_EQ(GetArchiveItem(archive.get(), -1, item), ARCHIVE_OK);
        EXPECT_EQ(item.index, static_cast<int>(entries.size()));
        EXPECT_STREQ(item.name, "");
        EXPECT_EQ(item.attributes, 0u);
        EXPECT_EQ(Ticks(item.accessTime) | Ticks(item.creationTime) | Ticks(item.writeTime), 0u);
        EXPECT_EQ(item.packedSize, 0);
        EXPECT_EQ(item.size, 0);
    }
}

TEST_F(ArchiveTest, RecordCarriesNameSizesAndMsDosTimeWithoutTimeZone)
{
    // The MS-DOS fields are taken as they are: a local time zone must not shift them.
    const char* savedTz = std::getenv("TZ");
    const std::string saved = savedTz ? savedTz : "";
    setenv("TZ", "EST5EDT", 1);
    tzset();

    const std::string text(5000, 'z');
    ArchivePtr archive = OpenEntries({Dir("top/"), File("top/z.txt", text)});
    ASSERT_TRUE(archive);
    ArchiveItem item{};
    ASSERT_EQ(GetArchiveItem(archive.get(), 1, item), ARCHIVE_OK);
    EXPECT_EQ(item.index, 1);
    EXPECT_STREQ(item.name, "top/z.txt");
    EXPECT_EQ(item.size, 5000);
    EXPECT_GT(item.packedSize, 0);
    EXPECT_LT(item.packedSize, 100);
    const std::uint64_t dos = UnixToFileTimeTicks(kDosDateTimeAsUnix);
    EXPECT_EQ(Ticks(item.writeTime), dos);
    EXPECT_EQ(Ticks(item.accessTime), dos);
    EXPECT_EQ(Ticks(item.creationTime), dos);

    ASSERT_EQ(UnzipArchiveItem(archive.get(), 1, item.name), ARCHIVE_OK);
    EXPECT_EQ(Stat(root / "top/z.txt").st_mtime, kDosDateTimeAsUnix);

    if (savedTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(DosDateTimeToFileTime, RejectsFieldsOutOfRange)
{
    struct Case {
        const char* label;
        unsigned year, month, day, hour, minute, second;
        bool valid;
    };
    const Case cases[] = {
        {"earliest", 1980, 1, 1, 0, 0, 0, true},
        {"leap day", 2024, 2, 29, 23, 59, 58, true},
        {"latest", 2107, 12, 31, 23, 59, 58, true},
        {"29 February of a common year", 2023, 2, 29, 12, 0, 0, false},
        {"month 0", 2020, 0, 10, 12, 0, 0, false},
        {"month 13", 2020, 13, 10, 12, 0, 0, false},
        {"day 0", 2020, 5, 0, 12, 0, 0, false},
        {"31 April", 2020, 4, 31, 12, 0, 0, false},
        {"hour 24", 2020, 5, 1, 24, 0, 0, false},
        {"minute 60", 2020, 5, 1, 12, 60, 0, false},
        {"62 seconds", 2020, 5, 1, 12, 0, 62, false},
    };
    for (const Case& c : cases) {
        const auto date = static_cast<std::uint16_t>((c.year - 1980) << 9 | c.month << 5 | c.day);
        const auto time = static_cast<std::uint16_t>(c.hour << 11 | c.minute << 5 | c.second / 2);
        FILETIME ft{0x1234, 0x5678};
        EXPECT_EQ(DosDateTimeToFileTime(date, time, &ft), c.valid) << c.label;
        if (!c.valid) {
            EXPECT_EQ(ft.dwLowDateTime, 0x1234u) << c.label;
            continue;
        }
        std::tm tm{};
        tm.tm_year = static_cast<int>(c.year) - 1900;
        tm.tm_mon = static_cast<int>(c.month) - 1;
        tm.tm_mday = static_cast<int>(c.day);
        tm.tm_hour = static_cast<int>(c.hour);
        tm.tm_min = static_cast<int>(c.minute);
        tm.tm_sec = static_cast<int>(c.second);
        EXPECT_EQ(Ticks(ft), UnixToFileTimeTicks(timegm(&tm))) << c.label;
    }
}

TEST_F(ArchiveTest, AttributesFollowTheExternalAttributes)
{
    struct Case {
        const char* label;
        std::uint32_t external;
        std::uint32_t attributes;
    };
    const Case cases[] = {
        {"Unix file, owner may write", kUnixFile, 0x80},
        {"Unix folder with MS-DOS folder bit", kUnixDir, 0x90},
        {"Unix folder type alone", 040755u << 16, 0x90},
        {"Unix file without owner write", kUnixReadOnlyFile, 0x81},
        {"Unix file with MS-DOS read-only bit", kUnixFile | 0x01, 0x81},
        {"Windows file: no Unix mode, so read-only", kWindowsFile, 0xA1},
        {"Windows folder", kWindowsDir, 0x91},
        {"Windows hidden system file", 0x27, 0xA7},
    };
    std::vector<Entry> entries;
    for (const Case& c : cases) {
        Entry e = File("e" + std::to_string(entries.size()));
        e.external = c.external;
        entries.push_back(e);
    }
    ArchivePtr archive = OpenEntries(entries);
    ASSERT_TRUE(archive);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        ArchiveItem item{};
        ASSERT_EQ(GetArchiveItem(archive.get(), i, item), ARCHIVE_OK);
        EXPECT_EQ(item.attributes, cases[i].attributes) << cases[i].label;
    }
}

TEST_F(ArchiveTest, ExtendedTimestampReplacesTheTimesItHolds)
{
    struct Case {
        const char* label;
        std::string extra;
        std::int64_t write, access, creation;
    };
    const std::string uxBlock = ExtraBlock(0x7875, std::string("\x01\x04\xe8\x03\x00\x00\x04\xe8\x03\x00\x00", 11));
    const Case cases[] = {
        {"write flag only", UtBlock(1, {T1}), T1, kDos, kDos},
        {"all three", UtBlock(7, {T1, T2, T3}), T1, T2, T3},
        {"access and creation, no write", UtBlock(6, {T2, T3}), kDos, T2, T3},
        {"after other blocks", ExtraBlock(0x000A, std::string(32, '\0')) + uxBlock + UtBlock(1, {T1}), T1, kDos, kDos},
        {"flags promise more times than the block holds", UtBlock(7, {T1}), T1, kDos, kDos},
        {"block size runs past the field", LE16(0x5455) + LE16(13) + "\x07" + LE32(T1), T1, kDos, kDos},
        {"negative time keeps the MS-DOS time", UtBlock(3, {0xFFFFFFF0u, T2}), kDos, T2, kDos},
        {"flag byte without its time", UtBlock(1, {}), kDos, kDos, kDos},
        {"only a block header: 4 bytes", LE16(0x5455) + LE16(0), kDos, kDos, kDos},
        {"the first UT block ends the walk", UtBlock(0, {}) + UtBlock(1, {T1}), kDos, kDos, kDos},
        {"a block size that steps over the UT block", LE16(0x000A) + LE16(9) + UtBlock(1, {T1}), kDos, kDos, kDos},
        {"no UT block", uxBlock, kDos, kDos, kDos},
    };
    std::vector<Entry> entries;
    for (const Case& c : cases) {
        Entry e = File("e" + std::to_string(entries.size()));
        e.localExtra = c.extra;
        entries.push_back(e);
    }
    ArchivePtr archive = OpenEntries(entries);
    ASSERT_TRUE(archive);
    auto expected = [](std::int64_t t) {
        return UnixToFileTimeTicks(t == kDos ? kDosDateTimeAsUnix : t);
    };
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        ArchiveItem item{};
        ASSERT_EQ(GetArchiveItem(archive.get(), i, item), ARCHIVE_OK) << cases[i].label;
        EXPECT_EQ(Ticks(item.writeTime), expected(cases[i].write)) << cases[i].label;
        EXPECT_EQ(Ticks(item.accessTime), expected(cases[i].access)) << cases[i].label;
        EXPECT_EQ(Ticks(item.creationTime), expected(cases[i].creation)) << cases[i].label;
    }
}

TEST_F(ArchiveTest, ItemsCanBeReadInAnyOrder)
{
    std::vector<Entry> entries;
    for (int i = 0; i < 6; ++i)
        entries.push_back(File("f" + std::to_string(i) + ".txt", "data " + std::to_string(i)));
    ArchivePtr archive = OpenEntries(entries);
    ASSERT_TRUE(archive);
    for (int i : {5, 4, 3, 2, 1, 0, 3, 0, 5, 5, 1}) {
        ArchiveItem item{};
        ASSERT_EQ(GetArchiveItem(archive.get(), i, item), ARCHIVE_OK);
        EXPECT_EQ(item.index, i);
        EXPECT_EQ(item.name, entries[static_cast<std::size_t>(i)].name);
    }
    // Unpacking steps back too, and must then read the data of the item asked for.
    for (int i : {4, 1, 5, 0}) {
        const std::string& name = entries[static_cast<std::size_t>(i)].name;
        ASSERT_EQ(UnzipArchiveItem(archive.get(), i, name), ARCHIVE_OK);
        EXPECT_EQ(ReadBytes(root / name), entries[static_cast<std::size_t>(i)].data);
    }
}

TEST_F(ArchiveTest, BadArgumentsChangeNothing)
{
    ArchivePtr archive = OpenEntries({File("a.txt"), File("b.txt")});
    ASSERT_TRUE(archive);
    for (int index : {-2, 2, 1000}) {
        ArchiveItem item = Sentinel();
        EXPECT_EQ(GetArchiveItem(archive.get(), index, item), ARCHIVE_BAD_ARGUMENT) << index;
        EXPECT_TRUE(IsSentinel(item)) << index;
    }
    for (int index : {-1, 2})
        EXPECT_EQ(UnzipArchiveItem(archive.get(), index, "x.txt"), ARCHIVE_BAD_ARGUMENT) << index;
    ArchiveItem item = Sentinel();
    EXPECT_EQ(GetArchiveItem(nullptr, 0, item), ARCHIVE_BAD_ARGUMENT);
    EXPECT_TRUE(IsSentinel(item));
    EXPECT_EQ(UnzipArchiveItem(nullptr, 0, "x.txt"), ARCHIVE_BAD_ARGUMENT);
    EXPECT_EQ(CloseArchive(nullptr), ARCHIVE_BAD_ARGUMENT);
    EXPECT_TRUE(ListTree(root).empty());
    EXPECT_EQ(CloseArchive(archive.release()), ARCHIVE_OK);
}

TEST_F(ArchiveTest, WhatIsNotAReadableZipGivesNoHandle)
{
    const RawZip twoItems = BuildRawZip({File("a.txt", "alpha"), File("b.txt", "beta")});
    std::string badSecondEntry = twoItems.bytes;
    const std::size_t second = twoItems.centralDirectory + 46 + 5;
    badSecondEntry[second] = 'X';

    struct Case {
        const char* label;
        std::function<fs::path()> make;
    };
    const fs::path candidate = scratch.path() / "candidate";
    auto bytes = [&](const std::string& content) {
        return [&, content] {
            WriteBytes(candidate, content);
            return candidate;
        };
    };
    const Case cases[] = {
        {"missing file", [&] { return scratch.path() / "missing.zip"; }},
        {"empty file", bytes("")},
        {"text", bytes("This is not an archive.\n")},
        {"cut before its end record", bytes(twoItems.bytes.substr(0, twoItems.bytes.size() - 10))},
        {"second directory entry damaged", bytes(badSecondEntry)},
        {"a folder", [&] { return outside; }},
        {"a FIFO, which must not block the open",
         [&] {
             mkfifo(candidate.c_str(), 0600);
             return candidate;
         }},
    };
    for (const Case& c : cases) {
        const fs::path path = c.make();
        EXPECT_EQ(OpenAtRoot(path), nullptr) << c.label;
        std::error_code ec;
        fs::remove(candidate, ec);
    }
}

// Damage done to entry 1 of a hand-built archive ("b.txt", stored), and what reading it gives.
struct HeaderDamage {
    const char* label;
    std::function<void(RawZip&)> damage;
    int code;
};

// Points entry 1's directory entry at a copy of its local header in the archive comment, cut short
// inside its 100-byte extra field by the end of the file: the header reads, the extra field cannot.
void CutExtraFieldAtEndOfFile(RawZip& zip)
{
    const std::string local = zip.bytes.substr(zip.localHeader[1], zip.data[1] - zip.localHeader[1]);
    const std::string comment = local.substr(0, 30 + 5 + 10);
    std::string central = zip.bytes.substr(zip.centralDirectory, zip.bytes.size() - 22 - zip.centralDirectory);
    const std::size_t commentAt = zip.bytes.size();
    central.replace(46 + 5 + 42, 4, LE32(static_cast<std::uint32_t>(commentAt)));
    std::string end = zip.bytes.substr(zip.bytes.size() - 22);
    end.replace(20, 2, LE16(static_cast<unsigned>(comment.size())));
    zip.bytes = zip.bytes.substr(0, zip.centralDirectory) + central + end + comment;
}

TEST_F(ArchiveTest, DamagedLocalHeaderIsReportedAndNothingIsWritten)
{
    auto patch = [](std::size_t offset, std::string with) {
        return [offset, with](RawZip& zip) { zip.bytes.replace(zip.localHeader[1] + offset, with.size(), with); };
    };
    const HeaderDamage cases[] = {
        {"signature", patch(0, "PK\x09\x09"), ARCHIVE_BAD_HEADER},
        {"method differs from the directory", patch(8, LE16(8)), ARCHIVE_BAD_HEADER},
        {"checksum differs from the directory", patch(14, LE32(0x12345678)), ARCHIVE_BAD_HEADER},
        {"name length differs from the directory", patch(26, LE16(6)), ARCHIVE_BAD_HEADER},
        {"header offset beyond the end of the file",
         [](RawZip& zip) {
             zip.bytes.replace(zip.centralDirectory + 46 + 5 + 42, 4, LE32(0x7FFFFFF0));
         },
         ARCHIVE_BAD_HEADER},
        {"extra field cut off by the end of the file", CutExtraFieldAtEndOfFile, ARCHIVE_READ_FAILED},
    };
    for (const HeaderDamage& c : cases) {
        Entry damaged = File("b.txt", "beta");
        damaged.method = 0;
        damaged.localExtra = std::string(100, 'x');
        RawZip zip = BuildRawZip({File("a.txt", "alpha"), damaged, File("c.txt", "gamma")});
        c.damage(zip);
        ArchivePtr archive = OpenRaw(zip);
        ASSERT_TRUE(archive) << c.label;

        ArchiveItem item = Sentinel();
        EXPECT_EQ(GetArchiveItem(archive.get(), 1, item), c.code) << c.label;
        EXPECT_TRUE(IsSentinel(item)) << c.label;
        EXPECT_EQ(UnzipArchiveItem(archive.get(), 1, "b.txt"), c.code) << c.label;
        EXPECT_FALSE(fs::exists(root / "b.txt")) << c.label;

        // Its neighbours still read.
        EXPECT_EQ(UnzipArchiveItem(archive.get(), 2, "c.txt"), ARCHIVE_OK) << c.label;
        EXPECT_EQ(UnzipArchiveItem(archive.get(), 0, "a.txt"), ARCHIVE_OK) << c.label;
        EXPECT_EQ(ReadBytes(root / "a.txt"), "alpha") << c.label;
        archive.reset();
        fs::remove_all(root);
        fs::create_directory(root);
    }
}

} // namespace
} // namespace testzip
