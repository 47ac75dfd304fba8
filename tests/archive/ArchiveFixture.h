// Fixture for the archive reader's tests: an extraction root, a sibling that must stay empty, the archive.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "archive/Archive.h"
#include "archive/TestZip.h"

namespace testzip {

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(root);
        fs::create_directory(outside);
    }

    // Opens the archive with the extraction root as the current directory.
    ArchivePtr OpenAtRoot(const fs::path& path) const
    {
        CurrentDir cd(root);
        return ArchivePtr(OpenArchive(path.string()));
    }

    ArchivePtr OpenEntries(const std::vector<Entry>& entries) const
    {
        WriteZip(zipPath, entries);
        return OpenAtRoot(zipPath);
    }

    ArchivePtr OpenRaw(const RawZip& raw) const
    {
        WriteBytes(zipPath, raw.bytes);
        return OpenAtRoot(zipPath);
    }

    // Everything in the scratch folder that is neither below the root nor the archive itself.
    std::vector<std::string> StrayFiles() const
    {
        std::vector<std::string> stray;
        for (const std::string& name : ListTree(scratch.path()))
            if (name != "root/" && name.rfind("root/", 0) != 0 && name != "outside/" && name != "test.zip")
                stray.push_back(name);
        return stray;
    }

    static ArchiveItem Sentinel()
    {
        ArchiveItem item;
        std::memset(&item, 0xAB, sizeof item);
        return item;
    }

    static bool IsSentinel(const ArchiveItem& item)
    {
        const ArchiveItem sentinel = Sentinel();
        return std::memcmp(&item, &sentinel, sizeof item) == 0;
    }

    static struct stat Stat(const fs::path& path)
    {
        struct stat st {};
        EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
        return st;
    }

    ScratchDir scratch;
    const fs::path root = scratch.path() / "root";
    const fs::path outside = scratch.path() / "outside";
    const fs::path zipPath = scratch.path() / "test.zip";
};

inline std::uint64_t Ticks(const FILETIME& ft)
{
    return FileTimeToUInt64(ft);
}

} // namespace testzip
