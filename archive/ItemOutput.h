// Where unpacked items land: folders and files below the extraction root, never reached through a link.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/FileInfo.h"

// Creates every folder along a "/"-separated path below root (root ends in a separator), the last
// segment too. Failures are silent: they surface when a file inside is created. A ".." segment, or a
// segment that is a link, ends the walk, so nothing is made outside root.
void CreateItemFolders(const std::string& root, const std::string& folderPath);

// One output file below the extraction root, written in order and then given its times.
class CItemOutputFile {
public:
    CItemOutputFile() = default;
    ~CItemOutputFile();
    CItemOutputFile(const CItemOutputFile&) = delete;
    CItemOutputFile& operator=(const CItemOutputFile&) = delete;

    // Creates or truncates root + name with the given Windows attributes. False when the file cannot
    // be created: a missing folder, a read-only file of that name, a link or a folder in the way.
    bool Create(const std::string& root, const std::string& name, std::uint32_t attributes);
    bool Write(const void* data, std::size_t size);
    // Only a disk file takes times; a zero FILETIME leaves that time as it is.
    void SetTimes(const FILETIME& creation, const FILETIME& access, const FILETIME& write);
    // False when the system reports that written data did not reach the file.
    bool Close();

private:
#ifdef _WIN32
    void* m_file = nullptr;
#else
    int m_fd = -1;
    int m_dirFd = -1;
    std::string m_leaf;
#endif
};
