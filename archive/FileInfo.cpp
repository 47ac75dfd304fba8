// Windows file attributes and file times as the archive reader's item records carry them.
#include "archive/FileInfo.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1 January 1601 to 1 January 1970.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

// Days from 1 January 1970 to the given proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(unsigned year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(unsigned year, unsigned month)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

std::uint32_t AttributesFromExternal(std::uint32_t external)
{
    std::uint32_t attributes = FILE_ATTRIBUTE_NORMAL;
    if (external & 0x40000000u || external & 0x10u)
        attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL;
    if (external & 0x20u)
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    if (external & 0x02u)
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    // An archive made on MS-DOS or Windows has no Unix mode, hence no owner-write bit: its files
    // come out read-only, as the platform that made it would have them.
    if (!(external & 0x00800000u) || external & 0x01u)
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (external & 0x04u)
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    return attributes;
}

#ifndef _WIN32
bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FILETIME* ft)
{
    const unsigned year = 1980u + (dosDate >> 9);
    const unsigned month = (dosDate >> 5) & 0x0Fu;
    const unsigned day = dosDate & 0x1Fu;
    const unsigned hour = dosTime >> 11;
    const unsigned minute = (dosTime >> 5) & 0x3Fu;
    const unsigned second = (dosTime & 0x1Fu) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 59)
        return false;
    const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    *ft = FileTimeFromUInt64(static_cast<std::uint64_t>(seconds + kEpochDifference) * kTicksPerSecond);
    return true;
}
#endif

bool UnixTimeToFileTime(std::int64_t unixTime, FILETIME* ft)
{
    if (unixTime < 0)
        return false;
    // Whole seconds, as the calendar breakdown with zero milliseconds gives them.
    *ft = FileTimeFromUInt64(static_cast<std::uint64_t>(unixTime + kEpochDifference) * kTicksPerSecond);
    return true;
}

std::uint64_t FileTimeToUInt64(const FILETIME& ft)
{
    return static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

FILETIME FileTimeFromUInt64(std::uint64_t value)
{
    return FILETIME{static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
}

std::timespec FileTimeToTimespec(const FILETIME& ft)
{
    const std::uint64_t ticks = FileTimeToUInt64(ft);
    std::timespec ts{};
    ts.tv_sec = static_cast<std::time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochDifference);
    ts.tv_nsec = static_cast<long>(ticks % kTicksPerSecond * 100);
    return ts;
}
