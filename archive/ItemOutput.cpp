// Where unpacked items land: folders and files below the extraction root, never reached through a link.
#include "archive/ItemOutput.h"

#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::vector<std::string_view> SplitSegments(std::string_view path)
{
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

} // namespace

#ifndef _WIN32

namespace {

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The next folder down, never through a link: a link planted below the root (in a shared temporary
// folder, say) must not carry the extraction elsewhere.
int OpenSubfolder(int dirFd, std::string_view segment)
{
    if (segment == "..")
        return -1;
    const std::string name(segment);
    return openat(dirFd, name.c_str(), kFolderFlags | O_NOFOLLOW);
}

bool SkippedSegment(std::string_view segment)
{
    return segment.empty() || segment == ".";
}

} // namespace

void CreateItemFolders(const std::string& root, const std::string& folderPath)
{
    int dirFd = open(root.c_str(), kFolderFlags);
    if (dirFd < 0)
        return;
    for (std::string_view segment : SplitSegments(folderPath)) {
        if (SkippedSegment(segment))
            continue;
        if (segment != "..")
            mkdirat(dirFd, std::string(segment).c_str(), 0777);
        const int next = OpenSubfolder(dirFd, segment);
        close(dirFd);
        if (next < 0)
            return;
        dirFd = next;
    }
    close(dirFd);
}

CItemOutputFile::~CItemOutputFile()
{
    Close();
}

bool CItemOutputFile::Create(const std::string& root, const std::string& name, std::uint32_t attributes)
{
    Close();
    const std::size_t slash = name.rfind('/');
    const std::string_view folder = slash == std::string::npos ? std::string_view{}
                                                               : std::string_view(name).substr(0, slash);
    std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);

    int dirFd = open(root.c_str(), kFolderFlags);
    if (dirFd < 0)
        return false;
    if (!folder.empty()) {
        for (std::string_view segment : SplitSegments(folder)) {
            if (SkippedSegment(segment))
                continue;
            const int next = OpenSubfolder(dirFd, segment);
            close(dirFd);
            if (next < 0)
                return false;
            dirFd = next;
        }
    }

    // Windows refuses to overwrite a read-only file; root here would not, so the mode is checked.
    struct stat existing {};
    const bool exists = fstatat(dirFd, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISREG(existing.st_mode) && (existing.st_mode & 0222) == 0) {
        close(dirFd);
        return false;
    }

    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    // O_NONBLOCK keeps a FIFO of that name from hanging the open; regular files ignore it.
    const int fd = openat(dirFd, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                          readOnly ? 0444 : 0666);
    if (fd < 0) {
        close(dirFd);
        return false;
    }
    // An overwritten file takes the item's read-only state, as CREATE_ALWAYS gives it on Windows.
    if (exists && readOnly)
        fchmod(fd, existing.st_mode & 07555);
    m_fd = fd;
    m_dirFd = dirFd;
    m_leaf = std::move(leaf);
    return true;
}

bool CItemOutputFile::Write(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void CItemOutputFile::SetTimes(const FILETIME& /*creation: Linux keeps no settable creation time*/,
                               const FILETIME& access, const FILETIME& write)
{
    struct stat st {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return;
    auto toTimespec = [](const FILETIME& ft) {
        if (FileTimeToUInt64(ft) == 0) {
            std::timespec omit{};
            omit.tv_nsec = UTIME_OMIT;
            return omit;
        }
        return FileTimeToTimespec(ft);
    };
    const struct timespec times[2] = {toTimespec(access), toTimespec(write)};
    utimensat(m_dirFd, m_leaf.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool CItemOutputFile::Close()
{
    bool ok = true;
    if (m_fd >= 0) {
        ok = close(m_fd) == 0;
        m_fd = -1;
    }
    if (m_dirFd >= 0) {
        close(m_dirFd);
        m_dirFd = -1;
    }
    m_leaf.clear();
    return ok;
}

#else // _WIN32

void CreateItemFolders(const std::string& root, const std::string& folderPath)
{
    std::string path = root;
    for (std::string_view segment : SplitSegments(folderPath)) {
        if (segment == "..")
            return;
        path.append(segment);
        path += '\\';
        CreateDirectoryA(path.c_str(), nullptr);
    }
}

CItemOutputFile::~CItemOutputFile()
{
    Close();
}

bool CItemOutputFile::Create(const std::string& root, const std::string& name, std::uint32_t attributes)
{
    Close();
    const std::string path = root + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    m_file = file;
    return true;
}

bool CItemOutputFile::Write(const void* data, std::size_t size)
{
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(m_file), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

void CItemOutputFile::SetTimes(const FILETIME& creation, const FILETIME& access, const FILETIME& write)
{
    if (m_file && GetFileType(static_cast<HANDLE>(m_file)) == FILE_TYPE_DISK)
        SetFileTime(static_cast<HANDLE>(m_file), &creation, &access, &write);
}

bool CItemOutputFile::Close()
{
    bool ok = true;
    if (m_file) {
        ok = CloseHandle(static_cast<HANDLE>(m_file)) != 0;
        m_file = nullptr;
    }
    return ok;
}

#endif
