// Package staging: the embedded web application unpacked into the temporary folder and indexed for upload.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "install/InstallView.h"

// What one installation run knows about its staged package; lives until the run ends.
struct StagingResult {
    // The current directory when the run started, restored after unpacking.
    std::string strSavedDir;
    // The user's temporary folder, ending in a separator.
    std::string strTempDir;
    // The package copy in the temporary folder; empty when it could not be written.
    std::string strZipPath;
    // The first depth-1 directory entry in archive order ("kestrune/"); empty while none is met.
    std::string strTopFolder;
    // Entries that are not directories.
    int nFileCount = 0;
    // A file's directory (its member name through the last "/", "" at the archive's root) -> the
    // member names of the files directly in it, in archive order.
    std::unordered_map<std::string, std::vector<std::string>> mapDirFiles;
    // A directory entry's depth (the "/" in its name: 1 for the top folder) -> the names of the
    // directory entries of that depth, in archive order.
    std::unordered_map<int, std::vector<std::string>> mapLevelDirs;
};

// Writes the embedded package to the temporary folder as "qv3.zip" and stages it (StagePackageFile).
bool StagePackage(IInstallView& view, StagingResult& result);

// Unpacks the package file at strZipPath into the temporary folder and fills result's indexes. On
// failure the user has been told, and the current directory is as it was.
bool StagePackageFile(IInstallView& view, StagingResult& result, const std::string& strZipPath);

int CountSlashes(const std::string& strName);

// Deletes the staged tree, deepest directories first, each directory's files before the directory;
// empties both indexes. Files in a directory without an entry of its own (the archive's root
// included) and the package copy stay. Deletion failures are ignored: the upload has already deleted
// most files.
void RemoveStagedFiles(std::unordered_map<std::string, std::vector<std::string>>& mapDirFiles,
                       std::unordered_map<int, std::vector<std::string>>& mapLevelDirs,
                       const std::string& strTempDir);
