// Unpacking one item costs the same memory whatever its size: the data streams through one buffer.
// Reported for an item of 1 MB and of 64 MB: the peak of heap bytes allocated while it is unpacked, the
// number of allocations, and the growth of the peak resident set.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <minizip/zip.h>

#include <atomic>
#include <fstream>
#include <map>
#include <string>

#include "archive/Archive.h"
#include "tests/archive/TestZip.h"

// Every allocation of the process, minizip's and zlib's included, passes through these while tracking
// is on; glibc's own entry points do the work.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> g_tracking{false};
std::atomic<long long> g_liveBytes{0};
std::atomic<long long> g_peakBytes{0};
std::atomic<long long> g_allocations{0};

void Allocated(void* block)
{
    if (!block || !g_tracking.load(std::memory_order_relaxed))
        return;
    const long long live = g_liveBytes += static_cast<long long>(malloc_usable_size(block));
    long long peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
    ++g_allocations;
}

void Released(void* block)
{
    if (block && g_tracking.load(std::memory_order_relaxed))
        g_liveBytes -= static_cast<long long>(malloc_usable_size(block));
}

} // namespace

extern "C" void* malloc(std::size_t size)
{
    void* block = __libc_malloc(size);
    Allocated(block);
    return block;
}

extern "C" void* calloc(std::size_t count, std::size_t size)
{
    void* block = __libc_calloc(count, size);
    Allocated(block);
    return block;
}

extern "C" void* realloc(void* block, std::size_t size)
{
    Released(block);
    void* moved = __libc_realloc(block, size);
    Allocated(moved);
    return moved;
}

extern "C" void free(void* block)
{
    Released(block);
    __libc_free(block);
}

namespace {

using testzip::ScratchDir;
namespace fs = std::filesystem;

long StatusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

// Lets the next VmHWM reading show the peak from now on (Linux 4.0 and later).
void ResetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// An archive of one deflated item of the given size, written in slices so the bench itself never
// holds the item in memory.
void WriteSingleItemZip(const fs::path& path, std::size_t megabytes)
{
    zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    zip_fileinfo info{};
    info.dosDate = testzip::kDosDateTime;
    info.external_fa = testzip::kUnixFile;
    zipOpenNewFileInZip64(zf, "big.bin", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1);
    std::string slice;
    std::uint32_t seed = 12345;
    for (std::size_t written = 0; written < megabytes << 20; written += slice.size()) {
        slice.clear();
        while (slice.size() < 65536) {
            seed = seed * 1103515245u + 12345u;
            slice += "record " + std::to_string(seed >> 8) + " of the bench item\n";
        }
        slice.resize(std::min<std::size_t>(65536, (megabytes << 20) - written));
        zipWriteInFileInZip(zf, slice.data(), static_cast<unsigned>(slice.size()));
    }
    zipCloseFileInZip(zf);
    zipClose(zf, nullptr);
}

class Workspace {
public:
    const fs::path& ZipFor(std::size_t megabytes)
    {
        auto it = m_zips.find(megabytes);
        if (it == m_zips.end()) {
            const fs::path path = m_dir.path() / ("item-" + std::to_string(megabytes) + "mb.zip");
            WriteSingleItemZip(path, megabytes);
            it = m_zips.emplace(megabytes, path).first;
        }
        return it->second;
    }
    fs::path Root() const { return m_dir.path(); }

private:
    ScratchDir m_dir;
    std::map<std::size_t, fs::path> m_zips;
};

Workspace& TheWorkspace()
{
    static Workspace workspace;
    return workspace;
}

void BM_UnzipItem(benchmark::State& state)
{
    const auto megabytes = static_cast<std::size_t>(state.range(0));
    Workspace& ws = TheWorkspace();
    const fs::path zip = ws.ZipFor(megabytes);
    testzip::CurrentDir cd(ws.Root());
    ArchivePtr archive(OpenArchive(zip.string()));
    if (!archive) {
        state.SkipWithError("cannot open the bench archive");
        return;
    }
    long rssGrowth = 0;
    long long heapPeak = 0;
    long long allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ResetPeakRss();
        const long rssBefore = StatusKiB("VmRSS");
        g_liveBytes = 0;
        g_peakBytes = 0;
        g_allocations = 0;
        g_tracking = true;
        state.ResumeTiming();
        if (UnzipArchiveItem(archive.get(), 0, "big.bin") != ARCHIVE_OK)
            state.SkipWithError("unpacking failed");
        state.PauseTiming();
        g_tracking = false;
        heapPeak = std::max(heapPeak, g_peakBytes.load());
        allocations = std::max(allocations, g_allocations.load());
        rssGrowth = std::max(rssGrowth, StatusKiB("VmHWM") - rssBefore);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (megabytes << 20)));
    state.counters["heap_peak_KiB"] = static_cast<double>(heapPeak) / 1024;
    state.counters["allocations"] = static_cast<double>(allocations);
    state.counters["rss_peak_growth_KiB"] = static_cast<double>(rssGrowth);
}
BENCHMARK(BM_UnzipItem)->Arg(1)->Arg(64)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
