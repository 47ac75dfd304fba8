// Resources compiled into the executable and their copies in the temporary folder.
#include "support/ReadAll.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/InstallerApp.h"
#include "app/ResourceTable.h"

namespace {

namespace fs = std::filesystem;

class TempFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kestrune-res-XXXXXX";
        dir = mkdtemp(tmpl);
        const char* old = std::getenv("TMPDIR");
        saved = old ? old : "";
        setenv("TMPDIR", dir.c_str(), 1);
    }
    void TearDown() override
    {
        if (saved.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", saved.c_str(), 1);
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string saved;
};

TEST(Resources, EveryResourceTheInstallerUsesIsThereByIdAndType)
{
    struct Case {
        unsigned id;
        const char* type;
    } cases[] = {{145, "JPEG"}, {142, "TESTCGI"}, {143, "PACKAGE"}, {128, "ICON"}, {135, "BITMAP"},
                 {136, "BITMAP"}, {137, "BITMAP"}, {1, "RC"}};
    for (const Case& c : cases) {
        const ResourceEntry* r = FindResourceEntry(c.id, c.type);
        ASSERT_NE(r, nullptr) << c.type << " " << c.id;
        EXPECT_GT(r->size, 0u);
    }
    // Types are looked up without regard to case; a wrong id or type finds nothing.
    EXPECT_NE(FindResourceEntry(142, "testcgi"), nullptr);
    EXPECT_EQ(FindResourceEntry(142, "JPEG"), nullptr);
    EXPECT_EQ(FindResourceEntry(999, "JPEG"), nullptr);
}

TEST(Resources, PicturesHaveTheirFormatsAndSizes)
{
    const ResourceEntry* jpeg = FindResourceEntry(145, "JPEG");
    ASSERT_NE(jpeg, nullptr);
    const std::string b(reinterpret_cast<const char*>(jpeg->data), jpeg->size);
    ASSERT_EQ(b.substr(0, 3), "\xFF\xD8\xFF");
    // Baseline: a SOF0 frame, 317 high and 180 wide.
    const size_t sof = b.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    EXPECT_EQ(b.find("\xFF\xC2"), std::string::npos);
    const auto u16 = [&](size_t at) { return (static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]); };
    EXPECT_EQ(u16(sof + 5), 317);
    EXPECT_EQ(u16(sof + 7), 180);

    for (unsigned id : {135u, 136u, 137u}) {
        const ResourceEntry* bmp = FindResourceEntry(id, "BITMAP");
        ASSERT_NE(bmp, nullptr);
        const unsigned char* d = bmp->data;
        EXPECT_EQ(d[0], 'B');
        EXPECT_EQ(d[1], 'M');
        EXPECT_EQ(d[18] | d[19] << 8, 16) << id;  // width
        EXPECT_EQ(d[22] | d[23] << 8, 15) << id;  // height
        EXPECT_EQ(d[28], 4) << id;                // 16 colours
    }

    const ResourceEntry* ico = FindResourceEntry(128, "ICON");
    ASSERT_NE(ico, nullptr);
    EXPECT_EQ(ico->data[4] | ico->data[5] << 8, 1);  // one image
    EXPECT_EQ(ico->data[6], 32);
    EXPECT_EQ(ico->data[7], 32);
}

TEST_F(TempFolderTest, CopiesAreByteForByteAndOverwriteStaleOnes)
{
    // A longer stale file must be truncated, not partly overwritten.
    std::ofstream(dir / "test.cgi", std::ios::binary) << std::string(500, 'x');
    const std::string path = theApp.SaveResourceToTemp(142, "TESTCGI", "test.cgi");
    ASSERT_EQ(path, (dir / "test.cgi").string());
    EXPECT_EQ(ReadAll(path),
              "#!/usr/bin/perl\r\nprint \"Content-type: text/plain\\n\\n\";\r\nprint 1;\r\n");
    EXPECT_EQ(fs::file_size(path), 66u);

    const ResourceEntry* jpeg = FindResourceEntry(145, "JPEG");
    const std::string banner = theApp.SaveResourceToTemp(145, "JPEG", "banner.jpg");
    EXPECT_EQ(ReadAll(banner), std::string(reinterpret_cast<const char*>(jpeg->data), jpeg->size));
}

TEST_F(TempFolderTest, EmptyPathWhenTheCopyCannotBeWritten)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        unsigned id;
        const char* type;
    } cases[] = {
        {"missing resource", [] {}, 999, "JPEG"},
        {"file name taken by a folder", [&] { fs::create_directory(dir / "banner.jpg"); }, 145, "JPEG"},
        {"temporary folder missing", [&] { setenv("TMPDIR", (dir / "gone").c_str(), 1); }, 145, "JPEG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_EQ(theApp.SaveResourceToTemp(c.id, c.type, "banner.jpg"), "");
    }
    EXPECT_FALSE(fs::exists(dir / "gone"));
}

} // namespace
