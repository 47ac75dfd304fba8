// Staging the package the installer carries: write the copy, unpack, index, and remove it again.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/InstallerApp.h"
#include "install/PackageStaging.h"
#include "tests/archive/TestZip.h"

namespace {

class NullView : public IInstallView {
public:
    void SetStatusText(const std::string&) override {}
    void ShowMessage(const std::string&) override {}
};

// A fresh temporary folder and log for one benchmark, the old TMPDIR restored afterwards.
struct ScratchTemp {
    ScratchTemp()
    {
        if (const char* old = std::getenv("TMPDIR"))
            saved = old;
        setenv("TMPDIR", dir.path().c_str(), 1);
        theApp.m_log.Open((dir.path() / "bench.log").string());
    }
    ~ScratchTemp()
    {
        theApp.m_log.Close();
        if (saved.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", saved.c_str(), 1);
    }
    testzip::ScratchDir dir;
    std::string saved;
};

void BM_StagePackage(benchmark::State& state)
{
    ScratchTemp scratch;
    NullView view;
    int items = 0;
    for (auto _ : state) {
        StagingResult result;
        if (!StagePackage(view, result))
            state.SkipWithError("staging failed");
        items = result.nFileCount;
        state.PauseTiming();
        RemoveStagedFiles(result.mapDirFiles, result.mapLevelDirs, result.strTempDir);
        state.ResumeTiming();
    }
    state.counters["files"] = items;
}
BENCHMARK(BM_StagePackage)->Unit(benchmark::kMillisecond);

// A package the size the installer is meant to carry (44 folders 8 deep, 456 files, 1.3 MB unpacked),
// whatever the embedded one holds at the moment.
void BM_StageFullSizePackage(benchmark::State& state)
{
    ScratchTemp scratch;
    const testzip::ScratchDir& temp = scratch.dir;

    std::vector<testzip::Entry> entries;
    std::vector<std::string> folders;
    std::string folder = "app/";
    for (int depth = 1; depth <= 8; ++depth) {
        for (int sibling = 0; sibling < (depth == 1 ? 1 : 7) && folders.size() < 44; ++sibling)
            folders.push_back(folder + (sibling == 0 ? "" : "side" + std::to_string(sibling) + "/"));
        folder += "d" + std::to_string(depth) + "/";
    }
    for (const std::string& dir : folders)
        entries.push_back(testzip::Dir(dir));
    for (int i = 0; i < 456; ++i)
        entries.push_back(testzip::File(folders[static_cast<std::size_t>(i) % folders.size()] + "file" +
                                            std::to_string(i) + ".pm",
                                        std::string(2834, static_cast<char>('a' + i % 26))));
    const std::filesystem::path package = temp.path() / "package.zip";
    testzip::WriteZip(package, entries);

    NullView view;
    for (auto _ : state) {
        StagingResult result;
        if (!StagePackageFile(view, result, package.string()) || result.nFileCount != 456)
            state.SkipWithError("staging failed");
        state.PauseTiming();
        RemoveStagedFiles(result.mapDirFiles, result.mapLevelDirs, result.strTempDir);
        state.ResumeTiming();
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(BM_StageFullSizePackage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
