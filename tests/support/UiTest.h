// Helpers for tests that drive real windows: modal dialogs answered by script, event pumping.
#pragma once
#include <gtest/gtest.h>

#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/app.h>
#include <wx/dialog.h>

// Modal dialogs shown inside wxTEST_DIALOG are answered by the expectations given to it. A dialog
// nobody expected is a test failure and is cancelled at once instead of hanging the test; the
// wizard frame itself (template 131) always runs for real.
class KestruneTestHook;
#define wxTEST_DIALOG_HOOK_CLASS KestruneTestHook
#include <wx/testing.h>

class KestruneTestHook : public wxTestingModalHook {
public:
    KestruneTestHook(const char* file = nullptr, int line = 0, const char* func = nullptr)
        : wxTestingModalHook(file, line, func)
    {
    }

protected:
    int Enter(wxDialog* dlg) override
    {
        if (dlg->GetId() == 131)
            return wxID_NONE;
        const int rc = wxTestingModalHook::Enter(dlg);
        return rc == wxID_NONE ? wxID_CANCEL : rc;
    }
    void ReportFailure(const wxString& msg) override { ADD_FAILURE() << msg.utf8_string(); }
};

// A message box with exactly this text (and the application's caption), answered with `answer`
// (wxID_OK, wxID_YES, wxID_NO, wxID_CANCEL).
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage> {
public:
    explicit ExpectMessage(std::string text, int answer = wxID_OK) : m_text(std::move(text)), m_answer(answer) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        EXPECT_EQ(dlg->GetMessage().utf8_string(), m_text);
        EXPECT_EQ(dlg->GetTitle().utf8_string(), wxTheApp->GetAppName().utf8_string());
        return m_answer;
    }
    wxString GetDefaultDescription() const override { return "message box \"" + wxString::FromUTF8(m_text) + "\""; }

private:
    std::string m_text;
    int m_answer;
};

// A dialog built from template `templateId`: its edit `editId` is given `text` and it is closed
// with `answer` (1 for OK, 2 for Cancel).
class ExpectTemplateDialog : public wxExpectModalBase<wxDialog, ExpectTemplateDialog> {
public:
    ExpectTemplateDialog(int templateId, int answer, int editId = 0, std::string text = {},
                         std::string* seenText = nullptr)
        : m_templateId(templateId), m_answer(answer), m_editId(editId), m_text(std::move(text)), m_seen(seenText)
    {
    }

protected:
    int OnInvoked(wxDialog* dlg) const override
    {
        if (dlg->GetId() != m_templateId)
            return wxID_NONE;
        if (m_editId) {
            auto* edit = dynamic_cast<wxTextCtrl*>(dlg->FindWindow(m_editId));
            EXPECT_NE(edit, nullptr);
            if (edit) {
                if (m_seen)
                    *m_seen = edit->GetValue().utf8_string();
                edit->SetValue(wxString::FromUTF8(m_text));
            }
        }
        return m_answer;
    }
    wxString GetDefaultDescription() const override { return wxString::Format("dialog %d", m_templateId); }

private:
    int m_templateId;
    int m_answer;
    int m_editId;
    std::string m_text;
    std::string* m_seen;
};

// Lets the window system handle what is pending (sizes, paints, focus).
void PumpEvents(int rounds = 3);

// Points settings, the temporary folder and the log of this test at a fresh folder, removed at the
// end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
