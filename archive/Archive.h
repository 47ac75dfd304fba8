// ZIP reader over minizip: item records with Windows attributes and times, items unpacked below a root.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "archive/FileInfo.h"

constexpr int ARCHIVE_OK = 0;
constexpr int ARCHIVE_CANNOT_CREATE = 0x200;
constexpr int ARCHIVE_WRITE_FAILED = 0x400;
constexpr int ARCHIVE_BAD_HEADER = 0x700;
constexpr int ARCHIVE_READ_FAILED = 0x800;
constexpr int ARCHIVE_BAD_ARGUMENT = 0x10000;

struct ArchiveItem {
    // 0 to count-1; in the answer for index -1, the number of items.
    int index;
    // As stored: "/"-separated and relative, a folder ending in "/".
    char name[260];
    std::uint32_t attributes;
    FILETIME accessTime;
    FILETIME creationTime;
    FILETIME writeTime;
    long packedSize;
    long size;
};

struct ArchiveHandle;

// Opens the archive read-only and fixes the extraction root: the current directory now, plus a
// separator. Null when the file cannot be opened or is not a readable ZIP archive (no end record, or
// a central directory whose entries do not all read).
ArchiveHandle* OpenArchive(const std::string& path);

// Index -1: the item count in item.index, everything else empty. 0 to count-1: that item's record;
// the local header is checked against the directory. A name that is 260 characters or longer, absolute,
// or holds a ".." step is refused with ARCHIVE_BAD_HEADER. On any code but ARCHIVE_OK, item is untouched.
int GetArchiveItem(ArchiveHandle* handle, int index, ArchiveItem& item);

// A folder item creates its folders (always ARCHIVE_OK); a file item creates or overwrites root + name,
// making the folders name needs. A name that could lead outside the root gives ARCHIVE_CANNOT_CREATE.
// A failure part-way (ARCHIVE_WRITE_FAILED) leaves the partial file without the archive's times.
int UnzipArchiveItem(ArchiveHandle* handle, int index, const std::string& name);

// ARCHIVE_BAD_ARGUMENT for a null handle.
int CloseArchive(ArchiveHandle* handle);

struct ArchiveCloser {
    void operator()(ArchiveHandle* handle) const { CloseArchive(handle); }
};
using ArchivePtr = std::unique_ptr<ArchiveHandle, ArchiveCloser>;
