// "Create Folder": asks for the name of a new remote folder.
#pragma once
#include <string>

#include "wizard/Dialog.h"

class CCreateFolderDlg : public CDialog {
public:
    CCreateFolderDlg() : CDialog(139) {}

    std::string m_strText;

protected:
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, 1017, m_strText); }
};
