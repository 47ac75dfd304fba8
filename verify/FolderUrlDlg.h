// "Cannot Find the Location Selected": asks for the web address of the chosen folder.
#pragma once
#include <string>

#include "wizard/Dialog.h"

class CFolderUrlDlg : public CDialog {
public:
    CFolderUrlDlg() : CDialog(146), m_strText("http://www.") {}

    std::string m_strText;

protected:
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, 1017, m_strText); }
};
