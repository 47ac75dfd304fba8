// The application's message box: captioned with the application name.
#pragma once
#include <string>

// Styles, as the message boxes of the installer use them.
enum : long { MB_OK = 0x0, MB_YESNOCANCEL = 0x3 };

// Shows text modally and returns the button pressed: IDOK, IDYES, IDNO or IDCANCEL (closing the box
// counts as Cancel, or as OK for a box with only OK).
int AfxMessageBox(const std::string& text, long nType = MB_OK);
