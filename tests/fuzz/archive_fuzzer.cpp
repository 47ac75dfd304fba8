// libFuzzer target: random bytes unpacked as an archive must neither crash nor write outside the root.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "archive/Archive.h"

namespace fs = std::filesystem;

namespace {

// The root sits three levels down so that a name climbing out of it lands in folders we can inspect.
struct Workspace {
    fs::path base;
    fs::path root;
    fs::path zip;
};

const Workspace& GetWorkspace()
{
    static const Workspace ws = [] {
        std::string pattern = (fs::temp_directory_path() / "kestrune-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        Workspace w{pattern, fs::path(pattern) / "a" / "b" / "root", fs::path(pattern) / "in.zip"};
        fs::create_directories(w.root);
        return w;
    }();
    return ws;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "archive_fuzzer: %s\n", what.c_str());
    std::abort();
}

bool ClimbsOrIsAbsolute(std::string_view name)
{
    if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
        return true;
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

// Everything outside the root must be exactly what the workspace put there.
void CheckNothingOutsideRoot(const Workspace& ws)
{
    for (auto it = fs::recursive_directory_iterator(ws.base); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& p = it->path();
        if (p == ws.zip || p == ws.base / "a" || p == ws.base / "a" / "b")
            continue;
        if (p == ws.root) {
            it.disable_recursion_pending();
            continue;
        }
        Fail("written outside the root: " + p.string());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Workspace& ws = GetWorkspace();
    {
        std::ofstream out(ws.zip, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(ws.root))
        fs::remove_all(entry.path(), ec);

    const fs::path saved = fs::current_path();
    fs::current_path(ws.root);
    ArchivePtr archive(OpenArchive(ws.zip.string()));
    fs::current_path(saved);

    if (archive) {
        ArchiveItem item{};
        if (GetArchiveItem(archive.get(), -1, item) != ARCHIVE_OK)
            Fail("the count answer failed");
        const int count = item.index;
        auto visit = [&](int i) {
            const int read = GetArchiveItem(archive.get(), i, item);
            if (read == ARCHIVE_OK) {
                const std::string_view name(item.name);
                if (ClimbsOrIsAbsolute(name) || (name.size() >= 2 && name[1] == ':'))
                    Fail("a refused name was accepted: " + std::string(name));
                if (item.index != i)
                    Fail("record of the wrong item");
            }
            const int unpacked = UnzipArchiveItem(archive.get(), i, read == ARCHIVE_OK ? item.name : "x");
            if (read != ARCHIVE_OK && unpacked != read)
                Fail("unpacking an unreadable item gave another code");
            if (read == ARCHIVE_OK && unpacked == ARCHIVE_OK && !(item.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !fs::exists(fs::symlink_status(ws.root / item.name)))
                Fail("unpacked file is not where its name says: " + std::string(item.name));
        };
        // Ascending as staging goes, then a few steps back to exercise the restart.
        for (int i = 0; i < count; ++i)
            visit(i);
        for (int i = count - 1; i >= 0 && i >= count - 3; --i)
            visit(i);
        if (GetArchiveItem(archive.get(), count, item) != ARCHIVE_BAD_ARGUMENT)
            Fail("an index past the end was accepted");
    }
    CheckNothingOutsideRoot(ws);
    return 0;
}
