// Tests of the web application's package as the build makes it, and of the mkpackage tool that makes it.
#include <minizip/unzip.h>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const kPackage = KESTRUNE_PACKAGE_PATH;
const char* const kWebapp = KESTRUNE_WEBAPP_DIR;
const char* const kMkpackage = KESTRUNE_MKPACKAGE;

struct Entry {
    std::string name;
    uLong versionMadeBy = 0;
    uLong externalAttributes = 0;
    uLong dosDate = 0;
    uLong method = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t size = 0;
    std::string localExtra;
    std::string centralExtra;
    std::string data;
    int closeResult = UNZ_OK;
    bool IsDirectory() const { return !name.empty() && name.back() == '/'; }
};

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every entry of an archive in archive order, read back through minizip's reading side, data included.
std::vector<Entry> ReadArchive(const std::string& path)
{
    std::vector<Entry> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (zip == nullptr) {
        ADD_FAILURE() << "cannot open " << path << " as a ZIP archive";
        return entries;
    }
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[1024] = {};
        char extra[1024] = {};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, extra, sizeof extra, nullptr, 0) != UNZ_OK) {
            ADD_FAILURE() << "cannot read entry " << entries.size();
            break;
        }
        Entry e;
        e.name = name;
        e.versionMadeBy = info.version;
        e.externalAttributes = info.external_fa;
        e.dosDate = info.dosDate;
        e.method = info.compression_method;
        e.packedSize = info.compressed_size;
        e.size = info.uncompressed_size;
        e.centralExtra.assign(extra, info.size_file_extra);
        EXPECT_EQ(unzOpenCurrentFile(zip), UNZ_OK) << e.name;
        char local[1024];
        const int n = unzGetLocalExtrafield(zip, local, sizeof local);
        if (n > 0) e.localExtra.assign(local, static_cast<std::size_t>(n));
        char buf[16384];
        for (int got; (got = unzReadCurrentFile(zip, buf, sizeof buf)) > 0;)
            e.data.append(buf, static_cast<std::size_t>(got));
        e.closeResult = unzCloseCurrentFile(zip);
        entries.push_back(std::move(e));
    }
    unzClose(zip);
    return entries;
}

int Depth(const std::string& name) { return static_cast<int>(std::count(name.begin(), name.end(), '/')); }

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

struct RunResult {
    int exitCode = -1;
    std::string output;
};

// Runs the tool through the shell; shellPrefix may set limits for it first.
RunResult RunMkpackage(const fs::path& source, const fs::path& out, const std::string& shellPrefix = "")
{
    RunResult r;
    const std::string cmd = shellPrefix + Quote(kMkpackage) + " " + Quote(source.string()) + " " + Quote(out.string()) + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[512];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.output.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// A temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir()
    {
        std::string templ = (fs::temp_directory_path() / "kestrune-pkg-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        m_path = templ;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path Write(const std::string& rel, const std::string& content = "x\n") const
    {
        const fs::path p = m_path / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

private:
    fs::path m_path;
};

// The package the build made, read once for all the tests of its content.
class MkpackageOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_entries = new std::vector<Entry>(ReadArchive(kPackage)); }
    static void TearDownTestSuite()
    {
        delete s_entries;
        s_entries = nullptr;
    }
    const std::vector<Entry>& entries() const { return *s_entries; }
    std::string Top() const { return entries().empty() ? std::string() : entries().front().name; }

    static std::vector<Entry>* s_entries;
};
std::vector<Entry>* MkpackageOutput::s_entries = nullptr;

TEST_F(MkpackageOutput, OneTopFolderWithItsOwnEntryFirst)
{
    ASSERT_FALSE(entries().empty());
    const std::string top = Top();
    EXPECT_TRUE(top.size() > 1 && Depth(top) == 1 && top.back() == '/') << "first entry is " << top;
    for (const Entry& e : entries()) {
        EXPECT_EQ(e.name.compare(0, top.size(), top), 0) << e.name << " lies outside " << top;
        EXPECT_NE(e.name.front(), '/') << e.name;
        EXPECT_EQ(e.name.find(".."), std::string::npos) << e.name;
        EXPECT_EQ(e.name.find('\\'), std::string::npos) << e.name;
        EXPECT_LT(e.name.size(), 260u) << e.name;
    }
}

TEST_F(MkpackageOutput, EveryDirectoryHasAnEntryBeforeItsContents)
{
    std::set<std::string> seen;
    int deepest = 0;
    for (const Entry& e : entries()) {
        const std::string trimmed = e.IsDirectory() ? e.name.substr(0, e.name.size() - 1) : e.name;
        const auto slash = trimmed.rfind('/');
        if (slash != std::string::npos)
            EXPECT_TRUE(seen.count(trimmed.substr(0, slash + 1))) << e.name << " comes before its folder's entry";
        else
            EXPECT_TRUE(e.IsDirectory()) << e.name << " is a file at the root";
        if (e.IsDirectory()) {
            EXPECT_TRUE(seen.insert(e.name).second) << e.name << " twice";
            deepest = std::max(deepest, Depth(e.name));
        }
    }
    EXPECT_GE(deepest, 4) << "directories at least four levels deep";
}

TEST_F(MkpackageOutput, HoldsWhatTheInstallerNeeds)
{
    std::map<std::string, int> byExtension;
    std::set<std::string> names;
    for (const Entry& e : entries()) {
        names.insert(e.name);
        const auto dot = e.name.rfind('.');
        if (!e.IsDirectory() && dot != std::string::npos) ++byExtension[e.name.substr(dot)];
    }
    EXPECT_TRUE(names.count(Top() + "README.txt"));
    EXPECT_TRUE(names.count(Top() + "cgi/"));
    EXPECT_TRUE(names.count(Top() + "cgi/setup.cgi"));
    EXPECT_GE(byExtension[".cgi"], 4);
    for (const char* ext : {".gif", ".jpg", ".png", ".pm", ".html", ".conf"})
        EXPECT_GE(byExtension[ext], 1) << "no " << ext << " file";
    for (const Entry& e : entries())
        if (EndsWith(e.name, ".cgi")) {
            EXPECT_EQ(e.name.compare(0, Top().size() + 4, Top() + "cgi/"), 0) << e.name;
        }
}

TEST_F(MkpackageOutput, MadeOnUnixWithFixedOwnerWritableModes)
{
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.versionMadeBy >> 8, 3u) << "made by Unix";
        const unsigned mode = static_cast<unsigned>(e.externalAttributes >> 16);
        EXPECT_TRUE(e.externalAttributes & 0x00800000u) << "owner may write";
        EXPECT_EQ(e.externalAttributes & 0x01u, 0u) << "not read-only for MS-DOS";
        if (e.IsDirectory()) {
            EXPECT_EQ(mode, 040755u);
            EXPECT_EQ(e.externalAttributes & 0xffu, 0x10u) << "MS-DOS directory bit";
            EXPECT_EQ(e.size, 0u);
        } else {
            EXPECT_EQ(mode, EndsWith(e.name, ".cgi") ? 0100755u : 0100644u);
            EXPECT_EQ(e.externalAttributes & 0xffu, 0u);
        }
    }
}

// Both time fields name the same moment, the same for every entry, and the "UT" block is the one the
// installer's reader expects: flags 1 and a 4-byte little-endian modification time, locally and centrally.
TEST_F(MkpackageOutput, OneFixedTimeInDosFieldsAndExtendedTimestamp)
{
    ASSERT_FALSE(entries().empty());
    const uLong dos = entries().front().dosDate;
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.dosDate, dos);
        ASSERT_EQ(e.localExtra.size(), 9u);
        EXPECT_EQ(e.localExtra.substr(0, 5), std::string("UT\x05\x00\x01", 5));
        EXPECT_EQ(e.centralExtra, e.localExtra);
    }
    const std::string& ut = entries().front().localExtra;
    std::uint32_t mtime = 0;
    for (int i = 3; i >= 0; --i) mtime = (mtime << 8) | static_cast<unsigned char>(ut[5 + static_cast<std::size_t>(i)]);
    const std::time_t t = mtime;
    std::tm utc{};
    gmtime_r(&t, &utc);
    const unsigned date = static_cast<unsigned>(dos >> 16), time = static_cast<unsigned>(dos & 0xffff);
    EXPECT_EQ((date >> 9) + 1980, static_cast<unsigned>(utc.tm_year + 1900));
    EXPECT_EQ((date >> 5) & 15, static_cast<unsigned>(utc.tm_mon + 1));
    EXPECT_EQ(date & 31, static_cast<unsigned>(utc.tm_mday));
    EXPECT_EQ(time >> 11, static_cast<unsigned>(utc.tm_hour));
    EXPECT_EQ((time >> 5) & 63, static_cast<unsigned>(utc.tm_min));
    EXPECT_EQ((time & 31) * 2, static_cast<unsigned>(utc.tm_sec));
    EXPECT_GE((date >> 9) + 1980, 2020u) << "a plausible date, not zero";
}

// Compare both ways: every source file and folder is in the package with the same bytes, and nothing else is.
TEST_F(MkpackageOutput, ContentEqualsTheSourceTree)
{
    std::set<std::string> source;
    for (const auto& it : fs::recursive_directory_iterator(kWebapp)) {
        const std::string rel = fs::relative(it.path(), kWebapp).generic_string();
        source.insert(it.is_directory() ? rel + "/" : rel);
    }
    std::set<std::string> packed;
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        packed.insert(e.name);
        EXPECT_EQ(e.closeResult, UNZ_OK) << "CRC or data error";
        EXPECT_EQ(e.data.size(), e.size);
        if (!e.IsDirectory()) {
            EXPECT_TRUE(e.data == ReadBytes(fs::path(kWebapp) / e.name)) << "content differs";
        }
    }
    EXPECT_EQ(packed, source);
}

TEST_F(MkpackageOutput, DeflatesOnlyWhereItHelps)
{
    int deflated = 0;
    for (const Entry& e : entries()) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(e.method == 0 || e.method == Z_DEFLATED);
        if (e.method == Z_DEFLATED) {
            ++deflated;
            EXPECT_LT(e.packedSize, e.size);
        } else {
            EXPECT_EQ(e.packedSize, e.size);
        }
        if (EndsWith(e.name, ".pm") || EndsWith(e.name, ".cgi")) {
            EXPECT_EQ(e.method, static_cast<uLong>(Z_DEFLATED));
        }
    }
    EXPECT_GT(deflated, 0);
}

// The pictures travel in binary mode and must arrive as valid files of their kind.
TEST_F(MkpackageOutput, PicturesAreValidFilesOfTheirKind)
{
    struct Kind {
        const char* extension;
        std::string head;
        std::string tail;
    };
    const Kind kinds[] = {
        {".gif", "GIF89a", ";"},
        {".png", "\x89PNG\r\n\x1a\n", std::string("IEND\xae\x42\x60\x82", 8)},
        {".jpg", "\xff\xd8\xff", "\xff\xd9"},
    };
    for (const Entry& e : entries()) {
        for (const Kind& k : kinds) {
            if (!EndsWith(e.name, k.extension)) continue;
            SCOPED_TRACE(e.name);
            EXPECT_EQ(e.data.compare(0, k.head.size(), k.head), 0) << "header";
            EXPECT_TRUE(EndsWith(e.data, k.tail)) << "trailer";
        }
    }
}

// The installer sends every file but the pictures in ASCII mode, which rewrites line ends and is only
// safe for text: no other binary file may travel, and text must have the Unix line ends a "#!" line needs.
TEST_F(MkpackageOutput, FilesSentAsTextAreUnixText)
{
    for (const Entry& e : entries()) {
        if (e.IsDirectory()) continue;
        const bool picture = EndsWith(e.name, ".gif") || EndsWith(e.name, ".jpg") || EndsWith(e.name, ".jpeg") ||
                             EndsWith(e.name, ".png");
        if (picture) continue;
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.data.find('\0'), std::string::npos) << "binary data";
        EXPECT_EQ(e.data.find('\r'), std::string::npos) << "carriage return";
        EXPECT_TRUE(e.data.empty() || e.data.back() == '\n') << "last line unterminated";
        if (EndsWith(e.name, ".cgi")) {
            EXPECT_EQ(e.data.rfind("#!/usr/bin/perl\n", 0), 0u);
        }
    }
}

// Two runs over the same tree, and a run over a copy made in another order with other times and
// modes, must all give the package's bytes exactly.
TEST(Mkpackage, SameBytesWhateverTheCopyLooksLike)
{
    TempDir tmp;
    const std::string built = ReadBytes(kPackage);
    ASSERT_FALSE(built.empty());
    for (int run = 0; run < 2; ++run) {
        const fs::path out = tmp.path() / ("run" + std::to_string(run) + ".zip");
        const RunResult r = RunMkpackage(kWebapp, out);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_TRUE(ReadBytes(out) == built) << "run " << run << " differs from the built package";
    }

    // Recreate the tree in reverse name order (so the folder lists differently), with odd modes and times.
    std::vector<fs::path> items;
    for (const auto& it : fs::recursive_directory_iterator(kWebapp)) items.push_back(it.path());
    std::sort(items.rbegin(), items.rend());
    const fs::path copy = tmp.path() / "copy";
    for (const fs::path& item : items) {
        const fs::path to = copy / fs::relative(item, kWebapp);
        if (fs::is_directory(item)) {
            fs::create_directories(to);
        } else {
            fs::create_directories(to.parent_path());
            fs::copy_file(item, to);
            fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write | fs::perms::owner_exec);
            fs::last_write_time(to, fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
        }
    }
    const fs::path out = tmp.path() / "copy.zip";
    const RunResult r = RunMkpackage(copy, out);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(ReadBytes(out) == built) << "the copy's order, modes or times leaked into the package";
}

TEST(Mkpackage, OrdersNamesByTheirBytesWithEachFolderBeforeItsContents)
{
    TempDir tmp;
    const fs::path src = tmp.path() / "src";
    for (const char* f : {"top/b.txt", "top/B.txt", "top/a-b.txt", "top/a/x", "top/_u", "top/a/Z/deep.cgi"})
        tmp.Write("src/" + std::string(f));
    fs::create_directories(src / "top/empty");
    const RunResult r = RunMkpackage(src, tmp.path() / "out.zip");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> names;
    for (const Entry& e : ReadArchive((tmp.path() / "out.zip").string())) names.push_back(e.name);
    const std::vector<std::string> expected = {"top/", "top/B.txt", "top/_u", "top/a/", "top/a/Z/", "top/a/Z/deep.cgi",
                                               "top/a/x", "top/a-b.txt", "top/b.txt", "top/empty/"};
    EXPECT_EQ(names, expected);
}

// Trees the installer could not unpack safely, or would unpack only in part, are refused: the tool
// fails with a message and leaves no package behind.
TEST(Mkpackage, RefusesTreesTheInstallerCannotUse)
{
    struct Case {
        const char* what;
        void (*make)(const TempDir&);
    };
    const Case cases[] = {
        {"a symbolic link to a file",
         [](const TempDir& t) { t.Write("src/top/real.txt"); fs::create_symlink("real.txt", t.path() / "src/top/link.txt"); }},
        {"a symbolic link to a folder",
         [](const TempDir& t) { t.Write("src/top/d/f.txt"); fs::create_directory_symlink("d", t.path() / "src/top/e"); }},
        {"a dangling symbolic link",
         [](const TempDir& t) { t.Write("src/top/f.txt"); fs::create_symlink("/nonexistent", t.path() / "src/top/gone"); }},
        {"a file at the root", [](const TempDir& t) { t.Write("src/top/f.txt"); t.Write("src/loose.txt"); }},
        {"two top folders", [](const TempDir& t) { t.Write("src/top/f.txt"); t.Write("src/other/g.txt"); }},
        {"no folder at all", [](const TempDir& t) { fs::create_directories(t.path() / "src"); }},
        {"a name of 260 characters",
         [](const TempDir& t) { t.Write("src/top/" + std::string(127, 'd') + "/" + std::string(128, 'f')); }},
        {"a backslash in a name", [](const TempDir& t) { t.Write("src/top/a\\b.txt"); }},
        {"a name holding \"..\"", [](const TempDir& t) { t.Write("src/top/v1..2.txt"); }},
        {"a named pipe",
         [](const TempDir& t) { t.Write("src/top/f.txt"); mkfifo((t.path() / "src/top/pipe").c_str(), 0644); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        c.make(tmp);
        const fs::path out = tmp.path() / "out.zip";
        const RunResult r = RunMkpackage(tmp.path() / "src", out);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.output.find("mkpackage: "), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out.string() + ".part"));
    }
}

TEST(Mkpackage, AcceptsTheLongestNameTheInstallerTakes)
{
    TempDir tmp;
    const std::string name = "top/" + std::string(127, 'd') + "/" + std::string(127, 'f');
    ASSERT_EQ(name.size(), 259u);
    tmp.Write("src/" + name, "long\n");
    const RunResult r = RunMkpackage(tmp.path() / "src", tmp.path() / "out.zip");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::vector<Entry> entries = ReadArchive((tmp.path() / "out.zip").string());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.back().name, name);
    EXPECT_EQ(entries.back().data, "long\n");
}

// A package that cannot be written completely is an error, and leaves nothing that looks like a package.
TEST(Mkpackage, ReportsWriteFailures)
{
    TempDir tmp;
    // Noise does not deflate, so the package is as large as the file.
    std::string noise(64 * 1024, '\0');
    std::uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    tmp.Write("src/top/noise.bin", noise);
    struct Case {
        const char* what;
        std::string shellPrefix;
        fs::path source;
        fs::path out;
    };
    const Case cases[] = {
        {"output folder missing", "", tmp.path() / "src", tmp.path() / "missing/out.zip"},
        // Files may not grow past 512 bytes: the package's data cannot all be written. The signal that
        // would end the process is ignored so that the write itself fails, as on a full disk.
        {"write fails part-way", "ulimit -f 1; trap '' XFSZ; ", tmp.path() / "src", tmp.path() / "small.zip"},
        {"source missing", "", tmp.path() / "nothing", tmp.path() / "none.zip"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult r = RunMkpackage(c.source, c.out, c.shellPrefix);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.output.find("mkpackage: "), std::string::npos) << r.output;
        EXPECT_FALSE(fs::exists(c.out));
        EXPECT_FALSE(fs::exists(c.out.string() + ".part"));
    }
}

}  // namespace
