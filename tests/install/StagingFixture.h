// Fixture for the staging tests: private TMPDIR and current directory, log file, recording view.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "app/InstallerApp.h"
#include "archive/TestZip.h"
#include "install/PackageStaging.h"

namespace testzip {

// One thing shown to the user, with the number of log lines written when it was shown.
struct ViewEvent {
    enum Kind { Status, Message } kind;
    std::string text;
    std::size_t logLinesBefore;
    bool operator==(const ViewEvent& other) const
    {
        return kind == other.kind && text == other.text && logLinesBefore == other.logLinesBefore;
    }
};

inline std::ostream& operator<<(std::ostream& os, const ViewEvent& e)
{
    return os << (e.kind == ViewEvent::Status ? "status \"" : "message \"") << e.text << "\" after "
              << e.logLinesBefore << " log lines";
}

// The messages of the log file's lines, without their timestamps.
inline std::vector<std::string> LogMessages(const fs::path& logPath)
{
    std::vector<std::string> messages;
    const std::string text = ReadBytes(logPath);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        // "MM/DD/YYYY HH:MM:SS: " is 21 characters.
        messages.push_back(line.size() >= 21 ? line.substr(21) : line);
        start = end + 2;
    }
    return messages;
}

class RecordingView : public IInstallView {
public:
    explicit RecordingView(fs::path logPath) : m_logPath(std::move(logPath)) {}
    void SetStatusText(const std::string& strText) override { Record(ViewEvent::Status, strText); }
    void ShowMessage(const std::string& strMessage) override { Record(ViewEvent::Message, strMessage); }
    std::vector<ViewEvent> events;

private:
    void Record(ViewEvent::Kind kind, const std::string& text)
    {
        events.push_back({kind, text, LogMessages(m_logPath).size()});
    }
    fs::path m_logPath;
};

class StagingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(temp);
        fs::create_directory(home);
        const char* saved = std::getenv("TMPDIR");
        m_hadTmpDir = saved != nullptr;
        m_savedTmpDir = saved ? saved : "";
        setenv("TMPDIR", temp.c_str(), 1);
        ASSERT_TRUE(theApp.m_log.Open(logPath.string()));
        m_cwd = std::make_unique<CurrentDir>(home);
    }

    void TearDown() override
    {
        m_cwd.reset();
        if (m_hadTmpDir)
            setenv("TMPDIR", m_savedTmpDir.c_str(), 1);
        else
            unsetenv("TMPDIR");
        theApp.m_log.Close();
    }

    std::vector<std::string> Log() const { return LogMessages(logPath); }

    // The staging lines of a run that opened its package, from the status "Opening" on.
    static std::vector<std::string> OpenedLines(int items)
    {
        return {"Opening zipped package...", "ZIP opened. Contains " + std::to_string(items) + " items",
                "Extracting files ..."};
    }

    std::vector<ViewEvent> StatusEventsOfARun() const
    {
        return {{ViewEvent::Status, "Opening zipped package...", 0}, {ViewEvent::Status, "Extracting files ...", 2}};
    }

    ScratchDir scratch;
    const fs::path temp = scratch.path() / "tmp";
    const fs::path home = scratch.path() / "home";
    const fs::path logPath = scratch.path() / "install.log";
    RecordingView view{logPath};
    StagingResult result;

private:
    std::unique_ptr<CurrentDir> m_cwd;
    bool m_hadTmpDir = false;
    std::string m_savedTmpDir;
};

} // namespace testzip
