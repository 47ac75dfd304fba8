// The application object's window side: start-up, the wizard run and the per-user settings.
#include <memory>

#include <wx/app.h>
#include <wx/config.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/stdpaths.h>

#include "app/InstallerApp.h"
#include "app/InstallerWizard.h"
#include "pages/FolderPage.h"
#include "pages/InstallPage.h"
#include "pages/SiteInfoPage.h"

std::string CInstallerApp::GetAppName() const
{
    if (wxTheApp)
        return wxTheApp->GetAppName().utf8_string();
    return "kestrune-installer";
}

void CInstallerApp::SetRegistryKey(const std::string& strCompany)
{
    // On Windows this is HKCU\Software\<company>\<app>; elsewhere the user's config file of the
    // application, ~/.config/<app>.conf (or below XDG_CONFIG_HOME).
    wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
#ifndef __WINDOWS__
    // A new account may have no configuration folder yet; the settings file could not be written.
    const wxString dir = wxStandardPaths::Get().GetUserConfigDir();
    if (!wxFileName::DirExists(dir))
        wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
#endif
    delete wxConfigBase::Set(new wxConfig(wxString::FromUTF8(GetAppName()), wxString::FromUTF8(strCompany)));
}

std::string CInstallerApp::GetProfileString(const std::string& section, const std::string& entry,
                                            const std::string& strDefault)
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if (!config)
        return strDefault;
    wxString value;
    if (!config->Read(wxString::FromUTF8(section + "/" + entry), &value))
        return strDefault;
    return value.utf8_string();
}

bool CInstallerApp::WriteProfileString(const std::string& section, const std::string& entry, const std::string& value)
{
    wxConfigBase* config = wxConfigBase::Get(false);
    if (!config)
        return false;
    const bool ok = config->Write(wxString::FromUTF8(section + "/" + entry), wxString::FromUTF8(value));
    config->Flush();
    return ok;
}

bool CInstallerApp::InitInstance()
{
    Log("Started");
    SetRegistryKey("Velmora LLC.");
    if (!wxImage::FindHandler(wxBITMAP_TYPE_JPEG))
        wxInitAllImageHandlers();

    {
        CFolderPage folderPage;
        CSiteInfoPage siteInfoPage;
        CInstallPage installPage;
        CInstallerWizard wizard;
        wizard.m_pages.push_back(&siteInfoPage);
        wizard.m_pages.push_back(&folderPage);
        wizard.m_pages.push_back(&installPage);
        wizard.DoModal();

        Log("Ended");
        m_log.WriteSeparator();
        // Locals go in reverse order of construction: frame, installation page, site information
        // page, folder page.
    }
    return false;
}
