// ZIP reader over minizip: item records with Windows attributes and times, items unpacked below a root.
#include "archive/Archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "archive/ItemOutput.h"

struct ArchiveHandle {
    unzFile archive = nullptr;
    int openItem = -1;
    ArchiveItem cachedItem{};
    int cachedIndex = -1;
    std::string root;
    int count = 0;
    // The item minizip is positioned on; -1 when a failed step left it unknown.
    int current = -1;
    std::array<char, 16384> buffer{};

    ~ArchiveHandle()
    {
        if (archive) {
            if (openItem != -1)
                unzCloseCurrentFile(archive);
            unzClose(archive);
        }
    }
};

namespace {

constexpr unsigned kMethodStored = 0;
constexpr unsigned kMethodDeflated = Z_DEFLATED;
// minizip checks local headers for these three; bzip2 it would hand over still compressed.
constexpr unsigned kMethodBzip2 = 12;
constexpr unsigned long kFlagEncrypted = 0x01;

bool HasParentStep(std::string_view name)
{
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

// Backslashes count as separators here even where the file system takes them as plain characters:
// the names also travel to the web server, which may be a Windows one.
bool IsRefusedName(std::string_view name)
{
    if (name.size() >= sizeof(ArchiveItem::name) || name.find('\0') != std::string_view::npos)
        return true;
    if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
        return true;
    if (name.size() >= 2 && name[1] == ':')
        return true;
    return HasParentStep(name);
}

void CloseOpenItem(ArchiveHandle* h)
{
    if (h->openItem != -1) {
        // A checksum mismatch of an item left half read means nothing here.
        unzCloseCurrentFile(h->archive);
        h->openItem = -1;
    }
}

bool PositionOn(ArchiveHandle* h, int index)
{
    if (h->current < 0 || index < h->current) {
        if (unzGoToFirstFile(h->archive) != UNZ_OK) {
            h->current = -1;
            return false;
        }
        h->current = 0;
    }
    while (h->current < index) {
        if (unzGoToNextFile(h->archive) != UNZ_OK) {
            h->current = -1;
            return false;
        }
        ++h->current;
    }
    return true;
}

// minizip reads one directory entry at a time, so a damaged entry deep in the directory would only
// show when it is reached; reading them all now turns such an archive away at the door.
bool CentralDirectoryReads(ArchiveHandle* h)
{
    if (h->count == 0)
        return true;
    h->current = -1;
    if (!PositionOn(h, h->count - 1))
        return false;
    return PositionOn(h, 0);
}

int ReadLocalExtraField(ArchiveHandle* h, std::vector<unsigned char>& field)
{
    // Raw: the header check needs no inflater.
    const int opened = unzOpenCurrentFile2(h->archive, nullptr, nullptr, 1);
    if (opened != UNZ_OK)
        return opened == UNZ_BADZIPFILE ? ARCHIVE_BAD_HEADER : ARCHIVE_READ_FAILED;
    int result = ARCHIVE_OK;
    const int size = unzGetLocalExtrafield(h->archive, nullptr, 0);
    if (size < 0) {
        result = ARCHIVE_READ_FAILED;
    } else if (size > 0) {
        field.resize(static_cast<std::size_t>(size));
        if (unzGetLocalExtrafield(h->archive, field.data(), static_cast<unsigned>(size)) != size)
            result = ARCHIVE_READ_FAILED;
    }
    unzCloseCurrentFile(h->archive);
    return result;
}

std::uint32_t ReadLE32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

unsigned ReadLE16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

// The extended-timestamp block ("UT") of a local extra field: a flag byte, then a 32-bit Unix time for
// each flag set, in the order write, access, creation.
void ApplyExtendedTimestamp(const std::vector<unsigned char>& field, ArchiveItem& item)
{
    const std::size_t length = field.size();
    if (length <= 4)
        return;
    std::size_t pos = 0;
    while (pos + 4 < length) {
        const unsigned id = ReadLE16(&field[pos]);
        const std::size_t dataSize = ReadLE16(&field[pos + 2]);
        if (id == 0x5455) {
            const unsigned char* data = &field[pos + 4];
            const std::size_t available = std::min(dataSize, length - pos - 4);
            if (available < 1)
                return;
            const unsigned flags = data[0];
            FILETIME* const targets[3] = {&item.writeTime, &item.accessTime, &item.creationTime};
            std::size_t offset = 1;
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1u << bit)))
                    continue;
                if (offset + 4 > available)
                    return;
                const auto unixTime = static_cast<std::int32_t>(ReadLE32(data + offset));
                // A negative time keeps the MS-DOS one: UnixTimeToFileTime leaves it.
                UnixTimeToFileTime(unixTime, targets[bit]);
                offset += 4;
            }
            return;
        }
        pos += 4 + dataSize;
    }
}

// minizip misses an end record at the very start of the file, which is exactly what an archive without
// items is; such a file opens here as an archive of no items.
bool IsEmptyArchive(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    unsigned char end[22];
    const bool read = std::fread(end, 1, sizeof end, file) == sizeof end;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    static const unsigned char kEmpty[20] = {'P', 'K', 5, 6};
    return read && std::memcmp(end, kEmpty, sizeof kEmpty) == 0 && size == 22 + static_cast<long>(ReadLE16(end + 20));
}

bool IsSupportedMethod(unsigned long method)
{
    return method == kMethodStored || method == kMethodDeflated;
}

} // namespace

ArchiveHandle* OpenArchive(const std::string& path)
{
    auto handle = std::make_unique<ArchiveHandle>();
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec)
        return nullptr;
    handle->root = cwd.string();
    if (handle->root.empty() || handle->root.back() != std::filesystem::path::preferred_separator)
        handle->root += std::filesystem::path::preferred_separator;

    // Only a regular file: opening a FIFO would block until someone writes to it.
    if (!std::filesystem::is_regular_file(path, ec))
        return nullptr;
    // minizip opens the file for reading only.
    handle->archive = unzOpen64(path.c_str());
    if (!handle->archive)
        return IsEmptyArchive(path) ? handle.release() : nullptr;
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(handle->archive, &info) != UNZ_OK || info.number_entry > INT_MAX)
        return nullptr;
    handle->count = static_cast<int>(info.number_entry);
    if (!CentralDirectoryReads(handle.get()))
        return nullptr;
    return handle.release();
}

int GetArchiveItem(ArchiveHandle* handle, int index, ArchiveItem& item)
{
    if (!handle || index < -1 || index >= handle->count)
        return ARCHIVE_BAD_ARGUMENT;
    CloseOpenItem(handle);
    if (index == -1) {
        ArchiveItem countAnswer{};
        countAnswer.index = handle->count;
        item = countAnswer;
        return ARCHIVE_OK;
    }
    if (index == handle->cachedIndex) {
        item = handle->cachedItem;
        return ARCHIVE_OK;
    }
    if (!PositionOn(handle, index))
        return ARCHIVE_READ_FAILED;

    ArchiveItem record{};
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle->archive, &info, record.name, sizeof(record.name), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return ARCHIVE_READ_FAILED;
    // minizip leaves the name unterminated when it does not fit.
    if (info.size_filename >= sizeof(record.name))
        return ARCHIVE_BAD_HEADER;
    if (IsRefusedName(std::string_view(record.name, info.size_filename)))
        return ARCHIVE_BAD_HEADER;

    // minizip refuses to open an item of a method it does not know, which would make it look damaged;
    // such an item keeps its directory times and fails when it is unpacked instead.
    std::vector<unsigned char> extraField;
    if (IsSupportedMethod(info.compression_method) || info.compression_method == kMethodBzip2) {
        const int checked = ReadLocalExtraField(handle, extraField);
        if (checked != ARCHIVE_OK)
            return checked;
    }

    record.index = index;
    record.attributes = AttributesFromExternal(static_cast<std::uint32_t>(info.external_fa));
    record.packedSize = static_cast<long>(info.compressed_size);
    record.size = static_cast<long>(info.uncompressed_size);
    FILETIME dosTime{};
    DosDateTimeToFileTime(static_cast<std::uint16_t>(info.dosDate >> 16), static_cast<std::uint16_t>(info.dosDate),
                          &dosTime);
    record.accessTime = dosTime;
    record.creationTime = dosTime;
    record.writeTime = dosTime;
    ApplyExtendedTimestamp(extraField, record);

    handle->cachedItem = record;
    handle->cachedIndex = index;
    item = record;
    return ARCHIVE_OK;
}

int UnzipArchiveItem(ArchiveHandle* handle, int index, const std::string& name)
{
    if (!handle || index < 0 || index >= handle->count)
        return ARCHIVE_BAD_ARGUMENT;
    CloseOpenItem(handle);
    if (!PositionOn(handle, index))
        return ARCHIVE_READ_FAILED;
    ArchiveItem item{};
    const int read = GetArchiveItem(handle, index, item);
    if (read != ARCHIVE_OK)
        return read;

    if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        CreateItemFolders(handle->root, item.name);
        return ARCHIVE_OK;
    }

    if (IsRefusedName(name))
        return ARCHIVE_CANNOT_CREATE;
    const std::size_t cut = name.rfind('/');
    if (cut != std::string::npos)
        CreateItemFolders(handle->root, name.substr(0, cut));

    CItemOutputFile out;
    if (!out.Create(handle->root, name, item.attributes))
        return ARCHIVE_CANNOT_CREATE;

    unz_file_info64 info{};
    bool failed = unzGetCurrentFileInfo64(handle->archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK;
    // Without a password minizip would hand over encrypted bytes as if they were the data.
    failed = failed || !IsSupportedMethod(info.compression_method) || (info.flag & kFlagEncrypted) != 0;
    if (!failed) {
        failed = unzOpenCurrentFile(handle->archive) != UNZ_OK;
        if (!failed)
            handle->openItem = index;
    }
    while (!failed) {
        const int got = unzReadCurrentFile(handle->archive, handle->buffer.data(),
                                           static_cast<unsigned>(handle->buffer.size()));
        if (got < 0)
            failed = true;
        else if (got == 0)
            break;
        else if (!out.Write(handle->buffer.data(), static_cast<std::size_t>(got)))
            failed = true;
    }
    if (!failed)
        out.SetTimes(item.creationTime, item.accessTime, item.writeTime);
    if (!out.Close())
        failed = true;
    CloseOpenItem(handle);
    return failed ? ARCHIVE_WRITE_FAILED : ARCHIVE_OK;
}

int CloseArchive(ArchiveHandle* handle)
{
    if (!handle)
        return ARCHIVE_BAD_ARGUMENT;
    CloseOpenItem(handle);
    delete handle;
    return ARCHIVE_OK;
}
