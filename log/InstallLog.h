// The installer's plain-text log: timestamped lines appended to one file across runs.
#pragma once
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

class CInstallLog {
public:
    CInstallLog() = default;
    ~CInstallLog();
    CInstallLog(const CInstallLog&) = delete;
    CInstallLog& operator=(const CInstallLog&) = delete;

    // Opens the file for appending, creating it when it does not exist; never truncates it.
    // Other programs may keep the file open for reading and writing meanwhile.
    bool Open(const std::string& strPath);
    void Close();
    bool IsOpen() const;

    // One line "MM/DD/YYYY HH:MM:SS: message" and CR LF, in one write that reaches the disk at once.
    void Write(const std::string& strMessage);
    // 85 underscores and CR LF.
    void WriteSeparator();

    // "%m/%d/%Y %H:%M:%S" of the given local time, or "Invalid DateTime" when it has no calendar date.
    static std::string FormatTimestamp(std::time_t t);

private:
    void Append(const std::string& line);

    std::FILE* m_file = nullptr;
    mutable std::mutex m_mutex;
};
