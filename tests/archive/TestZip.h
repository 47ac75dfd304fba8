// Test archives (minizip's zip side, or laid out byte by byte) and self-cleaning scratch folders.
#pragma once
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace testzip {

namespace fs = std::filesystem;

// External attributes as archivers store them.
constexpr std::uint32_t kUnixFile = 0100644u << 16;
constexpr std::uint32_t kUnixDir = (040755u << 16) | 0x10u;
constexpr std::uint32_t kUnixReadOnlyFile = 0100444u << 16;
constexpr std::uint32_t kWindowsFile = 0x20u; // archive bit, no Unix mode
constexpr std::uint32_t kWindowsDir = 0x10u;

// 15 June 2021 10:20:30 as MS-DOS date (high 16 bits) and time.
constexpr std::uint32_t kDosDateTime = ((41u << 9 | 6u << 5 | 15u) << 16) | (10u << 11 | 20u << 5 | 15u);
constexpr std::int64_t kDosDateTimeAsUnix = 1623752430; // the same fields read as UTC

inline std::uint64_t UnixToFileTimeTicks(std::int64_t unixTime)
{
    return static_cast<std::uint64_t>(unixTime + 11644473600LL) * 10000000ULL;
}

struct Entry {
    std::string name;
    std::string data;
    std::uint32_t external = kUnixFile;
    int method = Z_DEFLATED;
    std::uint32_t dosDateTime = kDosDateTime;
    std::string localExtra;
    // Hand-built archives only: general-purpose flags, and packed bytes to store instead of packing data.
    unsigned flags = 0;
    std::string packed;
};

inline Entry File(std::string name, std::string data = "content of file\n")
{
    Entry e;
    e.name = std::move(name);
    e.data = std::move(data);
    return e;
}

inline Entry Dir(std::string name)
{
    Entry e;
    e.name = std::move(name);
    e.external = kUnixDir;
    e.method = 0;
    return e;
}

inline std::string LE16(unsigned v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

inline std::string LE32(std::uint32_t v)
{
    return LE16(v & 0xFFFF) + LE16(v >> 16);
}

// One extra-field block: header id, data size, data.
inline std::string ExtraBlock(unsigned id, const std::string& data)
{
    return LE16(id) + LE16(static_cast<unsigned>(data.size())) + data;
}

// An extended-timestamp block with the given flags and the times that follow them.
inline std::string UtBlock(unsigned flags, const std::vector<std::uint32_t>& times)
{
    std::string data(1, static_cast<char>(flags));
    for (std::uint32_t t : times)
        data += LE32(t);
    return ExtraBlock(0x5455, data);
}

// Writes the entries with minizip's zip.h, as an archiver would.
inline void WriteZip(const fs::path& path, const std::vector<Entry>& entries)
{
    zipFile zf = zipOpen64(path.string().c_str(), APPEND_STATUS_CREATE);
    if (!zf)
        throw std::runtime_error("zipOpen64 failed: " + path.string());
    for (const Entry& e : entries) {
        zip_fileinfo info{};
        info.dosDate = e.dosDateTime;
        info.external_fa = e.external;
        const bool madeOnUnix = (e.external >> 16) != 0;
        if (zipOpenNewFileInZip4_64(zf, e.name.c_str(), &info, e.localExtra.data(),
                                    static_cast<uInt>(e.localExtra.size()), nullptr, 0, nullptr, e.method,
                                    e.method ? Z_DEFAULT_COMPRESSION : 0, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                    Z_DEFAULT_STRATEGY, nullptr, 0, madeOnUnix ? 0x031E : 0x0014, 0, 0) != ZIP_OK ||
            (!e.data.empty() &&
             zipWriteInFileInZip(zf, e.data.data(), static_cast<unsigned>(e.data.size())) != ZIP_OK) ||
            zipCloseFileInZip(zf) != ZIP_OK) {
            zipClose(zf, nullptr);
            throw std::runtime_error("cannot add " + e.name);
        }
    }
    if (zipClose(zf, nullptr) != ZIP_OK)
        throw std::runtime_error("zipClose failed");
}

inline std::string RawDeflate(const std::string& data)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// An archive laid out by hand, with the offsets a test needs to damage it.
struct RawZip {
    std::string bytes;
    std::vector<std::size_t> localHeader; // offset of each entry's local header
    std::vector<std::size_t> data;        // offset of each entry's stored data
    std::size_t centralDirectory = 0;
};

// Local header, data, then central directory and end record; the local extra field of each entry is
// its localExtra, the central one empty. Methods 0 and 8 are packed; any other is stored as given.
inline RawZip BuildRawZip(const std::vector<Entry>& entries, const std::string& comment = {})
{
    RawZip zip;
    std::string central;
    for (const Entry& e : entries) {
        const std::string packed = !e.packed.empty() ? e.packed : e.method == Z_DEFLATED ? RawDeflate(e.data) : e.data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
        const std::string common = LE16(20) + LE16(e.flags) + LE16(static_cast<unsigned>(e.method)) +
                                   LE32(e.dosDateTime) + LE32(crc) + LE32(static_cast<std::uint32_t>(packed.size())) +
                                   LE32(static_cast<std::uint32_t>(e.data.size())) +
                                   LE16(static_cast<unsigned>(e.name.size()));
        const std::size_t offset = zip.bytes.size();
        zip.localHeader.push_back(offset);
        zip.bytes += "PK\x03\x04" + common + LE16(static_cast<unsigned>(e.localExtra.size())) + e.name + e.localExtra;
        zip.data.push_back(zip.bytes.size());
        zip.bytes += packed;
        central += "PK\x01\x02" + LE16((e.external >> 16) ? 0x031E : 0x0014) + common + LE16(0) + LE16(0) + LE16(0) +
                   LE16(0) + LE32(e.external) + LE32(static_cast<std::uint32_t>(offset)) + e.name;
    }
    zip.centralDirectory = zip.bytes.size();
    zip.bytes += central;
    const auto n = static_cast<unsigned>(entries.size());
    zip.bytes += "PK\x05\x06" + LE16(0) + LE16(0) + LE16(n) + LE16(n) +
                 LE32(static_cast<std::uint32_t>(central.size())) +
                 LE32(static_cast<std::uint32_t>(zip.centralDirectory)) +
                 LE16(static_cast<unsigned>(comment.size())) + comment;
    return zip;
}

inline void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

inline std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every path below dir, relative to it, sorted.
inline std::vector<std::string> ListTree(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        names.push_back(fs::relative(it->path(), dir).generic_string() + (it->is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder below the system's temporary folder, removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (fs::temp_directory_path() / "kestrune-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        // Read-only files and folders left by a test must not stop the clean-up.
        for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ec);
        fs::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// The current directory for the lifetime of the object.
class CurrentDir {
public:
    explicit CurrentDir(const fs::path& dir) : m_saved(fs::current_path()) { fs::current_path(dir); }
    ~CurrentDir()
    {
        std::error_code ec;
        fs::current_path(m_saved, ec);
    }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    fs::path m_saved;
};

} // namespace testzip
