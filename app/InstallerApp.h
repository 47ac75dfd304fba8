// The application object: owns the log, runs the wizard, writes resources to the temporary folder.
#pragma once
#include <string>

#include "log/InstallLog.h"

class CInstallerApp {
public:
    // Opens "QVInstaller.log" in the current directory; runs before main.
    CInstallerApp();
    ~CInstallerApp();

    // Runs the whole wizard; always returns false (no application message loop follows).
    bool InitInstance();

    void Log(const std::string& strMessage);

    // Writes the custom resource (id, type) to lpszFileName in the user's temporary folder and
    // returns the file's full path, or an empty string when the resource is missing or the file
    // cannot be written.
    std::string SaveResourceToTemp(unsigned nResourceID, const char* lpszType, const char* lpszFileName);

    // The application's name: the executable's file name without its extension. Captions every
    // message box and names the settings.
    std::string GetAppName() const;

    // Per-user settings: SetRegistryKey names the company under which the application keeps them.
    void SetRegistryKey(const std::string& strCompany);
    std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& strDefault);
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value);

    CInstallLog m_log;
};

extern CInstallerApp theApp;

// The user's temporary folder with a trailing separator, or empty when there is none.
std::string GetTempFolder();
