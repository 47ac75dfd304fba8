// Build-time tool: packs the web application's source tree into the installer's ZIP package, the same bytes every run.
// Usage: mkpackage SOURCE_DIR OUT.zip
//
// SOURCE_DIR holds one top folder; every folder below it gets a directory entry of its own, written
// before its contents, and names are visited in byte order so the archive never depends on readdir
// order. Entries are marked as made on Unix with fixed modes (owner-writable, scripts executable) and
// carry one fixed time, in the MS-DOS fields and in an extended-timestamp ("UT") extra field, so
// neither the checkout's times nor its file modes nor its owner leak into the package.
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 2024-01-01 12:00:00: MS-DOS fields as local time, the "UT" field as the same reading in UTC.
constexpr unsigned kDosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;
constexpr unsigned kDosTime = (12 << 11) | (0 << 5) | 0;
constexpr std::uint32_t kUnixTime = 1704110400;

// Host 3 (Unix) in the high byte, ZIP format version 2.0 in the low one.
constexpr uLong kVersionMadeBy = (3u << 8) | 20u;

constexpr unsigned kModeDir = 040755;
constexpr unsigned kModeFile = 0100644;
constexpr unsigned kModeScript = 0100755;
constexpr unsigned kDosDirectory = 0x10;

// The installer keeps member names in 260-character buffers.
constexpr std::size_t kMaxName = 259;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool EndsWith(const std::string& s, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Refuses names that the installer could not unpack safely, or at all, on a Windows desktop.
void CheckMemberName(const std::string& name)
{
    if (name.empty() || name.front() == '/')
        throw Failure("absolute or empty member name: \"" + name + "\"");
    // The installer's reader refuses any name that holds "..", not only a ".." folder.
    if (name.find("..") != std::string::npos) throw Failure("member name holding \"..\": " + name);
    if (name.size() > kMaxName)
        throw Failure("member name of " + std::to_string(name.size()) + " characters (259 at most): " + name);
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == ".")
            throw Failure("member name with an empty or \".\" part: " + name);
        start = end + 1;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || std::strchr("\\:*?\"<>|", c) != nullptr)
            throw Failure("member name with a character Windows cannot store: " + name);
    }
}

std::vector<unsigned char> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read " + path.string() + ": " + std::strerror(errno));
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Failure("cannot read " + path.string());
    // Entries are written without ZIP64 extensions, whose 32-bit sizes stop short of 4 GB.
    if (bytes.size() >= 0xffffffffu) throw Failure(path.string() + " is too large for the package");
    return bytes;
}

// Raw deflate (no zlib header), as a ZIP member holds it.
std::vector<unsigned char> Deflate(const std::vector<unsigned char>& data)
{
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw Failure("zlib: deflateInit2 failed");
    std::vector<unsigned char> out(deflateBound(&zs, static_cast<uLong>(data.size())));
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    const uLong produced = zs.total_out;
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw Failure("zlib: deflate failed");
    out.resize(produced);
    return out;
}

// The extended-timestamp block: header 0x5455, 5 data bytes, flags 1 (modification time only).
std::vector<unsigned char> TimestampExtra()
{
    return {0x55, 0x54, 5, 0, 1,
            static_cast<unsigned char>(kUnixTime & 0xff), static_cast<unsigned char>((kUnixTime >> 8) & 0xff),
            static_cast<unsigned char>((kUnixTime >> 16) & 0xff), static_cast<unsigned char>((kUnixTime >> 24) & 0xff)};
}

class PackageWriter {
public:
    explicit PackageWriter(const std::string& path) : m_zip(zipOpen64(path.c_str(), APPEND_STATUS_CREATE))
    {
        if (m_zip == nullptr) throw Failure("cannot create " + path + ": " + std::strerror(errno));
    }
    ~PackageWriter()
    {
        if (m_zip != nullptr) zipClose(m_zip, nullptr);
    }
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    void AddDirectory(const std::string& name)
    {
        Open(name, (kModeDir << 16) | kDosDirectory, 0);
        Close(name, 0, 0);
    }

    void AddFile(const std::string& name, const std::vector<unsigned char>& data)
    {
        const unsigned mode = EndsWith(name, ".cgi") ? kModeScript : kModeFile;
        const uLong crc = crc32(crc32(0L, Z_NULL, 0), data.data(), static_cast<uInt>(data.size()));
        std::vector<unsigned char> packed;
        if (!data.empty()) packed = Deflate(data);
        // Pictures and other dense data come out of deflate no smaller: those are stored as they are.
        const bool deflated = !data.empty() && packed.size() < data.size();
        const std::vector<unsigned char>& body = deflated ? packed : data;
        Open(name, mode << 16, deflated ? Z_DEFLATED : 0);
        if (!body.empty() && zipWriteInFileInZip(m_zip, body.data(), static_cast<unsigned>(body.size())) != ZIP_OK)
            throw Failure("cannot write " + name + " into the package");
        Close(name, static_cast<uLong>(data.size()), crc);
    }

    void Finish()
    {
        const int rc = zipClose(m_zip, nullptr);
        m_zip = nullptr;
        if (rc != ZIP_OK) throw Failure("cannot finish the package (error " + std::to_string(rc) + ")");
    }

private:
    // Data is always handed over ready-made (raw), so the method chosen above is the one stored.
    void Open(const std::string& name, uLong externalAttributes, int method)
    {
        zip_fileinfo info{};
        info.dosDate = (static_cast<uLong>(kDosDate) << 16) | kDosTime;
        info.external_fa = externalAttributes;
        const std::vector<unsigned char> extra = TimestampExtra();
        const int rc = zipOpenNewFileInZip4(m_zip, name.c_str(), &info, extra.data(), static_cast<uInt>(extra.size()),
                                            extra.data(), static_cast<uInt>(extra.size()), nullptr, method,
                                            method == 0 ? 0 : Z_BEST_COMPRESSION, 1, -MAX_WBITS, 8,
                                            Z_DEFAULT_STRATEGY, nullptr, 0, kVersionMadeBy, 0);
        if (rc != ZIP_OK) throw Failure("cannot add " + name + " to the package (error " + std::to_string(rc) + ")");
    }

    void Close(const std::string& name, uLong size, uLong crc)
    {
        if (zipCloseFileInZipRaw(m_zip, size, crc) != ZIP_OK)
            throw Failure("cannot write " + name + " into the package");
    }

    zipFile m_zip;
};

// Children of a folder sorted by the bytes of their names; symlinks and special files are refused.
std::vector<fs::directory_entry> SortedChildren(const fs::path& dir)
{
    std::vector<fs::directory_entry> children;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(*it);
    if (ec) throw Failure("cannot list " + dir.string() + ": " + ec.message());
    std::sort(children.begin(), children.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().string() < b.path().filename().string();
    });
    for (const fs::directory_entry& child : children) {
        const fs::file_status st = child.symlink_status();
        if (fs::is_symlink(st)) throw Failure("symbolic link in the package tree: " + child.path().string());
        if (!fs::is_directory(st) && !fs::is_regular_file(st))
            throw Failure("neither a file nor a folder: " + child.path().string());
    }
    return children;
}

void AddTree(PackageWriter& zip, const fs::path& dir, const std::string& prefix)
{
    for (const fs::directory_entry& child : SortedChildren(dir)) {
        const std::string name = prefix + child.path().filename().string();
        if (child.is_directory()) {
            CheckMemberName(name + "/");
            zip.AddDirectory(name + "/");
            AddTree(zip, child.path(), name + "/");
        } else {
            CheckMemberName(name);
            zip.AddFile(name, ReadFile(child.path()));
        }
    }
}

void MakePackage(const fs::path& source, const std::string& output)
{
    if (!fs::is_directory(fs::symlink_status(source)))
        throw Failure(source.string() + " is not a folder");
    const std::vector<fs::directory_entry> top = SortedChildren(source);
    // The installer uploads what lies under the first top-level folder; anything else would be lost.
    if (top.size() != 1 || !top.front().is_directory())
        throw Failure(source.string() + " must hold exactly one folder and no files");
    const std::string topName = top.front().path().filename().string();
    CheckMemberName(topName + "/");

    PackageWriter zip(output);
    zip.AddDirectory(topName + "/");
    AddTree(zip, top.front().path(), topName + "/");
    zip.Finish();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkpackage SOURCE_DIR OUT.zip\n");
        return 2;
    }
    // Written beside the target and renamed at the end, so a failed run never leaves a package that
    // looks complete to the build.
    const std::string output = argv[2];
    const std::string partial = output + ".part";
    try {
        MakePackage(argv[1], partial);
        std::error_code ec;
        fs::rename(partial, output, ec);
        if (ec) throw Failure("cannot rename " + partial + " to " + output + ": " + ec.message());
    } catch (const std::exception& e) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        std::fprintf(stderr, "mkpackage: %s\n", e.what());
        return 1;
    }
    return 0;
}
