// Package staging: the embedded web application unpacked into the temporary folder and indexed for upload.
#include "install/PackageStaging.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/InstallerApp.h"
#include "archive/Archive.h"

namespace {

constexpr unsigned kPackageResourceId = 143;

void BeginStaging(StagingResult& result, const std::string& strZipPath)
{
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    result.strSavedDir = ec ? std::string() : cwd.string();
    result.strTempDir = GetTempFolder();
    result.strZipPath = strZipPath;
    result.nFileCount = 0;
    result.strTopFolder.clear();
    result.mapDirFiles.clear();
    result.mapLevelDirs.clear();
}

void RestoreCurrentDirectory(const StagingResult& result)
{
    if (result.strSavedDir.empty())
        return;
    std::error_code ec;
    std::filesystem::current_path(result.strSavedDir, ec);
    if (ec)
        theApp.Log("Could not return to the folder " + result.strSavedDir + ": " + ec.message());
}

bool FailExtraction(IInstallView& view, const StagingResult& result)
{
    RestoreCurrentDirectory(result);
    theApp.Log("Failed.");
    view.ShowMessage("Failed to extract ZIP package");
    return false;
}

void IndexEntry(StagingResult& result, const ArchiveItem& item)
{
    const std::string name = item.name;
    if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        const int depth = CountSlashes(name);
        if (depth == 1 && result.strTopFolder.empty())
            result.strTopFolder = name;
        result.mapLevelDirs[depth].push_back(name);
    } else {
        const std::size_t slash = name.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
        result.mapDirFiles[folder].push_back(name);
        ++result.nFileCount;
    }
}

bool UnpackPackage(IInstallView& view, StagingResult& result)
{
    if (result.strZipPath.empty()) {
        view.ShowMessage("Failed to open package");
        theApp.Log("Failed to open package");
        return false;
    }

    view.SetStatusText("Opening zipped package...");
    theApp.Log("Opening zipped package...");

    // The archive takes the current directory as the folder to unpack into.
    std::error_code ec;
    std::filesystem::current_path(result.strTempDir, ec);
    if (ec) {
        theApp.Log("Could not enter the temporary folder " + result.strTempDir + ": " + ec.message());
        return FailExtraction(view, result);
    }
    ArchivePtr archive(OpenArchive(result.strZipPath));
    if (!archive)
        return FailExtraction(view, result);

    ArchiveItem item{};
    GetArchiveItem(archive.get(), -1, item);
    const int count = item.index;
    theApp.Log("ZIP opened. Contains " + std::to_string(count) + " items");

    view.SetStatusText("Extracting files ...");
    theApp.Log("Extracting files ...");

    for (int i = 0; i < count; ++i) {
        const int read = GetArchiveItem(archive.get(), i, item);
        if (read != ARCHIVE_OK) {
            // The record would still hold the previous entry; indexing it would stage that one twice.
            char code[16];
            std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(read));
            theApp.Log("Skipped entry " + std::to_string(i) + " of the package: its record cannot be read (error " +
                       code + ")");
            continue;
        }
        IndexEntry(result, item);
        UnzipArchiveItem(archive.get(), i, item.name);
    }

    RestoreCurrentDirectory(result);
    archive.reset();
    return true;
}

std::string StagedPath(const std::string& strTempDir, const std::string& strName)
{
    if (!strTempDir.empty() && (strTempDir.back() == '/' || strTempDir.back() == '\\'))
        return strTempDir + strName;
    return strTempDir + "/" + strName;
}

} // namespace

bool StagePackage(IInstallView& view, StagingResult& result)
{
    BeginStaging(result, {});
    result.strZipPath = theApp.SaveResourceToTemp(kPackageResourceId, "PACKAGE", "qv3.zip");
    return UnpackPackage(view, result);
}

bool StagePackageFile(IInstallView& view, StagingResult& result, const std::string& strZipPath)
{
    BeginStaging(result, strZipPath);
    return UnpackPackage(view, result);
}

int CountSlashes(const std::string& strName)
{
    return static_cast<int>(std::count(strName.begin(), strName.end(), '/'));
}

void RemoveStagedFiles(std::unordered_map<std::string, std::vector<std::string>>& mapDirFiles,
                       std::unordered_map<int, std::vector<std::string>>& mapLevelDirs,
                       const std::string& strTempDir)
{
    int deepest = 0;
    for (const auto& level : mapLevelDirs)
        deepest = std::max(deepest, level.first);
    std::error_code ec;
    for (int depth = deepest; depth >= 1; --depth) {
        const auto level = mapLevelDirs.find(depth);
        // A package without an entry for every directory leaves gaps; the depths around them still go.
        if (level == mapLevelDirs.end())
            continue;
        for (const std::string& dir : level->second) {
            const auto files = mapDirFiles.find(dir);
            if (files != mapDirFiles.end()) {
                for (const std::string& file : files->second)
                    std::filesystem::remove(StagedPath(strTempDir, file), ec);
                mapDirFiles.erase(files);
            }
            std::filesystem::remove(StagedPath(strTempDir, dir), ec);
        }
        mapLevelDirs.erase(level);
    }
    mapDirFiles.clear();
    mapLevelDirs.clear();
}
