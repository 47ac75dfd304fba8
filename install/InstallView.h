// What the installation worker needs of the install page: a status line and message boxes.
#pragma once
#include <string>

class IInstallView {
public:
    virtual ~IInstallView() = default;

    // The page's status line.
    virtual void SetStatusText(const std::string& strText) = 0;
    // A message box with an OK button; returns once the user has closed it.
    virtual void ShowMessage(const std::string& strMessage) = 0;
};
