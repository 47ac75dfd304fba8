// The application object's plain parts: construction, the log and resource copies.
#include "app/InstallerApp.h"

#include <filesystem>
#include <fstream>

#include "app/ResourceTable.h"

CInstallerApp theApp;

CInstallerApp::CInstallerApp()
{
    m_log.Open("QVInstaller.log");
}

CInstallerApp::~CInstallerApp() = default;

void CInstallerApp::Log(const std::string& strMessage)
{
    m_log.Write(strMessage);
}

std::string GetTempFolder()
{
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec || dir.empty())
        return {};
    std::string s = dir.string();
    if (s.back() != std::filesystem::path::preferred_separator && s.back() != '/')
        s += std::filesystem::path::preferred_separator;
    return s;
}

std::string CInstallerApp::SaveResourceToTemp(unsigned nResourceID, const char* lpszType, const char* lpszFileName)
{
    const ResourceEntry* res = FindResourceEntry(nResourceID, lpszType);
    if (!res)
        return {};
    const std::string folder = GetTempFolder();
    if (folder.empty())
        return {};
    std::string path = folder + lpszFileName;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return {};
    out.write(reinterpret_cast<const char*>(res->data), static_cast<std::streamsize>(res->size));
    out.flush();
    out.close();
    if (!out)
        return {};
    return path;
}
