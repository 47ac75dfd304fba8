// The installer's plain-text log.
#include "log/InstallLog.h"

#ifdef _WIN32
#include <share.h>
#endif

CInstallLog::~CInstallLog()
{
    Close();
}

bool CInstallLog::Open(const std::string& strPath)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    // Append mode puts every write at the file's current end, so a viewer or a second installer
    // writing to the same file never has its bytes overwritten.
#ifdef _WIN32
    m_file = _fsopen(strPath.c_str(), "ab", _SH_DENYNO);
#else
    m_file = std::fopen(strPath.c_str(), "ab");
#endif
    return m_file != nullptr;
}

void CInstallLog::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool CInstallLog::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_file != nullptr;
}

std::string CInstallLog::FormatTimestamp(std::time_t t)
{
    std::tm tmLocal{};
#ifdef _WIN32
    const bool ok = localtime_s(&tmLocal, &t) == 0;
#else
    const bool ok = localtime_r(&t, &tmLocal) != nullptr;
#endif
    char buf[64];
    if (!ok || std::strftime(buf, sizeof buf, "%m/%d/%Y %H:%M:%S", &tmLocal) == 0)
        return "Invalid DateTime";
    return buf;
}

void CInstallLog::Write(const std::string& strMessage)
{
    Append(FormatTimestamp(std::time(nullptr)) + ": " + strMessage + "\r\n");
}

void CInstallLog::WriteSeparator()
{
    Append(std::string(85, '_') + "\r\n");
}

void CInstallLog::Append(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    // Flushed line by line: a crash loses nothing that was already logged.
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}
