// The application's message box.
#include "app/MessageBox.h"

#include <wx/msgdlg.h>

#include "app/InstallerApp.h"
#include "wizard/Dialog.h"

int AfxMessageBox(const std::string& text, long nType)
{
    long style = wxCENTRE;
    if (nType == MB_YESNOCANCEL)
        style |= wxYES_NO | wxCANCEL | wxYES_DEFAULT | wxICON_NONE;
    else
        style |= wxOK;
    wxMessageDialog box(nullptr, wxString::FromUTF8(text), wxString::FromUTF8(theApp.GetAppName()), style);
    switch (box.ShowModal()) {
    case wxID_YES:
        return IDYES;
    case wxID_NO:
        return IDNO;
    case wxID_OK:
        return IDOK;
    default:
        return nType == MB_YESNOCANCEL ? IDCANCEL : IDOK;
    }
}
