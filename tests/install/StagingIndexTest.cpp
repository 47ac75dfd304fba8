// Staging packages of other shapes: the indexes, what stays after removal, unreadable entries, failures.
#include "install/StagingFixture.h"

namespace testzip {
namespace {

using DirFiles = std::unordered_map<std::string, std::vector<std::string>>;
using LevelDirs = std::unordered_map<int, std::vector<std::string>>;

struct ShapeCase {
    const char* label;
    std::vector<Entry> entries;
    std::string topFolder;
    LevelDirs levelDirs;
    DirFiles dirFiles;
    int fileCount;
    // What the temporary folder holds once RemoveStagedFiles has run.
    std::vector<std::string> leftAfterRemoval;
};

TEST_F(StagingTest, IndexesFollowArchiveOrderWhateverThePackageShape)
{
    const ShapeCase cases[] = {
        {"two top folders: the first is the top folder",
         {Dir("b/"), File("b/1.txt"), Dir("a/"), Dir("a/sub/"), File("a/sub/2.txt"), File("a/3.txt")},
         "b/",
         {{1, {"b/", "a/"}}, {2, {"a/sub/"}}},
         {{"b/", {"b/1.txt"}}, {"a/sub/", {"a/sub/2.txt"}}, {"a/", {"a/3.txt"}}},
         3,
         {"package.zip"}},
        {"a file at the root is counted and indexed but stays",
         {Dir("top/"), File("top/f.txt"), File("notes.txt")},
         "top/",
         {{1, {"top/"}}},
         {{"top/", {"top/f.txt"}}, {"", {"notes.txt"}}},
         2,
         {"notes.txt", "package.zip"}},
        {"directory entries after their files",
         {File("a/b/c.txt"), File("a/b/d.txt"), Dir("a/b/"), File("a/e.txt"), Dir("a/")},
         "a/",
         {{1, {"a/"}}, {2, {"a/b/"}}},
         {{"a/b/", {"a/b/c.txt", "a/b/d.txt"}}, {"a/", {"a/e.txt"}}},
         3,
         {"package.zip"}},
        {"no directory entries: nothing is removed",
         {File("a/x.txt"), File("a/b/y.txt")},
         "",
         {},
         {{"a/", {"a/x.txt"}}, {"a/b/", {"a/b/y.txt"}}},
         2,
         {"a/", "a/b/", "a/b/y.txt", "a/x.txt", "package.zip"}},
        {"a folder without an entry keeps its files",
         {Dir("top/"), File("top/loose/f.txt"), File("top/g.txt")},
         "top/",
         {{1, {"top/"}}},
         {{"top/loose/", {"top/loose/f.txt"}}, {"top/", {"top/g.txt"}}},
         2,
         {"package.zip", "top/", "top/loose/", "top/loose/f.txt"}},
    };
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(temp);
        fs::create_directory(temp);
        const fs::path package = temp / "package.zip";
        WriteZip(package, c.entries);

        ASSERT_TRUE(StagePackageFile(view, result, package.string()));
        EXPECT_EQ(result.strTopFolder, c.topFolder);
        EXPECT_EQ(result.mapLevelDirs, c.levelDirs);
        EXPECT_EQ(result.mapDirFiles, c.dirFiles);
        EXPECT_EQ(result.nFileCount, c.fileCount);
        for (const Entry& e : c.entries)
            EXPECT_TRUE(fs::exists(temp / e.name)) << e.name;
        EXPECT_EQ(fs::current_path(), home);

        RemoveStagedFiles(result.mapDirFiles, result.mapLevelDirs, result.strTempDir);
        EXPECT_EQ(ListTree(temp), c.leftAfterRemoval);
    }
}

TEST_F(StagingTest, UnreadableEntriesAreSkippedAndNeverIndexedTwice)
{
    Entry damaged = File("top/damaged.txt", "x");
    damaged.method = 0;
    RawZip zip = BuildRawZip({Dir("top/"), File("top/a.txt"), damaged, File("../escape.txt"), File("top/b.txt")});
    zip.bytes.replace(zip.localHeader[2], 4, "PK\x09\x09");
    const fs::path package = temp / "package.zip";
    WriteBytes(package, zip.bytes);

    ASSERT_TRUE(StagePackageFile(view, result, package.string()));
    EXPECT_EQ(result.mapDirFiles, (DirFiles{{"top/", {"top/a.txt", "top/b.txt"}}}));
    EXPECT_EQ(result.nFileCount, 2);
    std::vector<std::string> expectedLog = OpenedLines(5);
    expectedLog.push_back("Skipped entry 2 of the package: its record cannot be read (error 0x700)");
    expectedLog.push_back("Skipped entry 3 of the package: its record cannot be read (error 0x700)");
    EXPECT_EQ(Log(), expectedLog);
    EXPECT_EQ(ListTree(temp), (std::vector<std::string>{"package.zip", "top/", "top/a.txt", "top/b.txt"}));
    EXPECT_FALSE(fs::exists(scratch.path() / "escape.txt"));
}

TEST_F(StagingTest, PackageThatIsNotAZipFailsAndRestoresTheCurrentDirectory)
{
    const fs::path package = temp / "package.zip";
    WriteBytes(package, "not a zip archive");

    EXPECT_FALSE(StagePackageFile(view, result, package.string()));
    EXPECT_EQ(fs::current_path(), home);
    // "Failed." reaches the log before the box is shown; the status line keeps "Opening...".
    EXPECT_EQ(Log(), (std::vector<std::string>{"Opening zipped package...", "Failed."}));
    EXPECT_EQ(view.events, (std::vector<ViewEvent>{{ViewEvent::Status, "Opening zipped package...", 0},
                                                   {ViewEvent::Message, "Failed to extract ZIP package", 2}}));
    EXPECT_EQ(ListTree(temp), std::vector<std::string>{"package.zip"});
}

TEST_F(StagingTest, RemovalWalksEveryDepthEvenAcrossAGap)
{
    fs::create_directories(temp / "top/mid/deep");
    WriteBytes(temp / "top/a.txt", "a");
    WriteBytes(temp / "top/mid/deep/b.txt", "b");
    DirFiles dirFiles{{"top/", {"top/a.txt"}}, {"top/mid/deep/", {"top/mid/deep/b.txt", "top/mid/deep/gone.txt"}}};
    // "top/mid/" has no entry: depth 2 is missing.
    LevelDirs levelDirs{{1, {"top/"}}, {3, {"top/mid/deep/"}}};

    RemoveStagedFiles(dirFiles, levelDirs, temp.string() + "/");
    // "top/mid/" was never listed, so it and its parent stay; everything listed is gone.
    EXPECT_EQ(ListTree(temp), (std::vector<std::string>{"top/", "top/mid/"}));
    EXPECT_TRUE(dirFiles.empty());
    EXPECT_TRUE(levelDirs.empty());
}

} // namespace
} // namespace testzip
