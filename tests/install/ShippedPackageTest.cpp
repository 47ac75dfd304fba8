// Staging the package the installer carries, checked against the web application's source tree.
#include <map>
#include <set>

#include "install/StagingFixture.h"

namespace testzip {
namespace {

// What the package must hold, worked out from res/webapp on its own.
struct SourceTree {
    std::map<int, std::set<std::string>> levelDirs;
    std::map<std::string, std::set<std::string>> dirFiles;
    int directories = 0;
    int files = 0;
};

SourceTree WalkSource(const fs::path& top)
{
    SourceTree tree;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        const fs::path relative = fs::relative(entry.path(), top);
        const std::string member = relative.generic_string();
        if (entry.is_directory()) {
            const int depth = static_cast<int>(std::distance(relative.begin(), relative.end()));
            tree.levelDirs[depth].insert(member + "/");
            ++tree.directories;
        } else {
            const std::string parent = relative.parent_path().generic_string();
            tree.dirFiles[parent.empty() ? "" : parent + "/"].insert(member);
            ++tree.files;
        }
    }
    return tree;
}

template <class Map>
auto AsSets(const Map& map)
{
    std::map<typename Map::key_type, std::set<std::string>> sets;
    for (const auto& [key, list] : map) {
        sets[key] = std::set<std::string>(list.begin(), list.end());
        EXPECT_EQ(sets[key].size(), list.size()) << "an entry indexed twice under " << ::testing::PrintToString(key);
    }
    return sets;
}

const fs::path kSource = KESTRUNE_WEBAPP_DIR;

TEST_F(StagingTest, ShippedPackageIsStagedAndIndexedLikeItsSourceTree)
{
    const SourceTree expected = WalkSource(kSource);
    ASSERT_GT(expected.files, 0);

    ASSERT_TRUE(StagePackage(view, result));

    EXPECT_EQ(Log(), OpenedLines(expected.directories + expected.files));
    EXPECT_EQ(view.events, StatusEventsOfARun());
    EXPECT_EQ(fs::current_path(), home);
    EXPECT_EQ(result.strSavedDir, home.string());
    EXPECT_EQ(result.strTempDir, temp.string() + "/");
    EXPECT_EQ(result.strZipPath, (temp / "qv3.zip").string());
    EXPECT_EQ(result.strTopFolder, "kestrune/");
    EXPECT_EQ(result.nFileCount, expected.files);
    EXPECT_EQ(AsSets(result.mapLevelDirs), expected.levelDirs);
    EXPECT_EQ(AsSets(result.mapDirFiles), expected.dirFiles);
    // Depths run from 1 to the deepest without a gap.
    EXPECT_EQ(result.mapLevelDirs.size(), static_cast<std::size_t>(expected.levelDirs.rbegin()->first));

    for (const auto& [dir, files] : expected.dirFiles)
        for (const std::string& file : files)
            EXPECT_TRUE(ReadBytes(temp / file) == ReadBytes(kSource / file)) << file;

    RemoveStagedFiles(result.mapDirFiles, result.mapLevelDirs, result.strTempDir);
    EXPECT_EQ(ListTree(temp), std::vector<std::string>{"qv3.zip"});
    EXPECT_TRUE(result.mapDirFiles.empty());
    EXPECT_TRUE(result.mapLevelDirs.empty());
}

// An interrupted run leaves the package copy and staged files behind; the next run writes over both.
TEST_F(StagingTest, NextRunOverwritesWhatAnEarlierRunLeft)
{
    fs::create_directories(temp / "kestrune");
    WriteBytes(temp / "qv3.zip", "stale");
    WriteBytes(temp / "kestrune/README.txt", "stale copy of the readme, longer than nothing");

    ASSERT_TRUE(StagePackage(view, result));
    EXPECT_GT(fs::file_size(temp / "qv3.zip"), 5u);
    EXPECT_EQ(ReadBytes(temp / "kestrune/README.txt"), ReadBytes(kSource / "kestrune/README.txt"));

    StagingResult second;
    ASSERT_TRUE(StagePackage(view, second));
    EXPECT_EQ(second.nFileCount, result.nFileCount);
    EXPECT_EQ(AsSets(second.mapDirFiles), AsSets(result.mapDirFiles));
}

TEST_F(StagingTest, UnusableTemporaryFolderFailsBeforeOpening)
{
    // A file where the temporary folder should be: the package copy cannot be written.
    WriteBytes(scratch.path() / "not-a-folder", "");
    setenv("TMPDIR", (scratch.path() / "not-a-folder").c_str(), 1);

    EXPECT_FALSE(StagePackage(view, result));
    // The line is logged only once the message box has been closed.
    EXPECT_EQ(view.events, (std::vector<ViewEvent>{{ViewEvent::Message, "Failed to open package", 0}}));
    EXPECT_EQ(Log(), std::vector<std::string>{"Failed to open package"});
    EXPECT_TRUE(result.strZipPath.empty());
    EXPECT_EQ(fs::current_path(), home);
}

} // namespace
} // namespace testzip
