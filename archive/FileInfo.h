// Windows file attributes and file times as the archive reader's item records carry them.
#pragma once
#include <cstdint>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
// 100-nanosecond intervals since 1 January 1601 (UTC, or local for converted MS-DOS times).
struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr std::uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

// The calendar fields taken as they are (no time-zone conversion), as Windows does. False, with
// *ft untouched, for a field out of range (month 0, 30 February, 62 seconds...).
bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FILETIME* ft);
#endif

// Windows attributes from a ZIP item's 32-bit external attributes: a Unix mode in the high 16 bits,
// MS-DOS attributes in the low byte.
std::uint32_t AttributesFromExternal(std::uint32_t external);

// A Unix time (seconds since 1970, UTC) as a FILETIME. False, with *ft untouched, for a negative time,
// which the UTC calendar breakdown of the platforms we mirror cannot represent.
bool UnixTimeToFileTime(std::int64_t unixTime, FILETIME* ft);

std::uint64_t FileTimeToUInt64(const FILETIME& ft);
FILETIME FileTimeFromUInt64(std::uint64_t value);

// The same instant as a timespec of the Unix epoch.
std::timespec FileTimeToTimespec(const FILETIME& ft);

inline bool operator==(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}
