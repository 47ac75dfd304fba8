// The installer log: line and separator formats, appending, sharing, flushing and two writers.
#include "support/ReadAll.h"
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <regex>
#include <thread>

#include "log/InstallLog.h"

namespace {

namespace fs = std::filesystem;

class LogTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kestrune-log-XXXXXX";
        dir = mkdtemp(tmpl);
        path = dir / "QVInstaller.log";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir, path;
};

const std::regex kLine(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: )");

TEST(LogFormat, TimestampIsMonthDayYearAnd24HourClockInLocalTime)
{
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        std::time_t t;
        const char* expected;
    } cases[] = {
        {0, "01/01/1970 00:00:00"},
        {1700000000, "11/14/2023 22:13:20"},
        {951782400, "02/29/2000 00:00:00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CInstallLog::FormatTimestamp(c.t), c.expected);
    // A time with no calendar date (the year does not fit).
    EXPECT_EQ(CInstallLog::FormatTimestamp(std::numeric_limits<std::time_t>::max()), "Invalid DateTime");
    unsetenv("TZ");
    tzset();
}

TEST_F(LogTest, LinesAndSeparatorHaveTheirExactBytes)
{
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("Started");
    log.Write("");
    log.Write("two\r\nparts");
    log.WriteSeparator();
    log.Close();

    const std::string text = ReadAll(path);
    std::regex whole(
        R"(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: Started\r\n)"
        R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: \r\n)"
        R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: two\r\nparts\r\n)"
        "_{85}\r\n$");
    EXPECT_TRUE(std::regex_match(text, whole)) << text;
    EXPECT_EQ(text.size(), 19 + 2 + 7 + 2 + 19 + 2 + 2 + 19 + 2 + 10 + 2 + 87);
}

TEST_F(LogTest, ReopeningAppendsAfterEarlierRunsAndNeverTruncates)
{
    {
        std::ofstream earlier(path, std::ios::binary);
        earlier << "earlier run\r\n" << std::string(85, '_') << "\r\n";
    }
    const std::string before = ReadAll(path);
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("Started");
    // A second Open of the same object closes the first stream and appends again.
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("Ended");
    log.Close();

    const std::string text = ReadAll(path);
    ASSERT_EQ(text.compare(0, before.size(), before), 0);
    const std::string added = text.substr(before.size());
    EXPECT_TRUE(std::regex_search(added, kLine));
    EXPECT_NE(added.find(": Started\r\n"), std::string::npos);
    EXPECT_GT(added.find(": Ended\r\n"), added.find(": Started\r\n"));
}

TEST_F(LogTest, CreatesAMissingFileAndItsFirstLineIsTheFirstWrite)
{
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("Started");
    const std::string text = ReadAll(path);
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: Started\r\n$)"))) << text;
}

TEST_F(LogTest, EachLineReachesTheDiskAsItIsWritten)
{
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("first");
    // Read while the log is still open: nothing waits in a buffer.
    EXPECT_NE(ReadAll(path).find(": first\r\n"), std::string::npos);
    log.WriteSeparator();
    EXPECT_NE(ReadAll(path).find(std::string(85, '_') + "\r\n"), std::string::npos);
}

TEST_F(LogTest, OpensAndAppendsWhileAnotherProgramHoldsTheFileForReadingAndWriting)
{
    {
        std::ofstream(path, std::ios::binary) << "viewer's start\r\n";
    }
    const int other = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    log.Write("mine");
    // The other program writes at its end of the file too; neither overwrites the other.
    ASSERT_EQ(::lseek(other, 0, SEEK_END) >= 0, true);
    ASSERT_EQ(::write(other, "theirs\r\n", 8), 8);
    log.Write("mine again");
    ::close(other);
    log.Close();
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("viewer's start\r\n", 0), 0u);
    EXPECT_NE(text.find(": mine\r\ntheirs\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(": mine again\r\n"), std::string::npos);
}

TEST_F(LogTest, AClosedLogWritesNothing)
{
    CInstallLog log;
    EXPECT_FALSE(log.Open((dir / "no such folder" / "QVInstaller.log").string()));
    EXPECT_FALSE(log.IsOpen());
    log.Write("lost");
    log.WriteSeparator();
    EXPECT_FALSE(fs::exists(dir / "no such folder"));
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleaveWithinALine)
{
    CInstallLog log;
    ASSERT_TRUE(log.Open(path.string()));
    const int perThread = 2000;
    const std::string a(300, 'a'), b(300, 'b');
    std::thread t1([&] {
        for (int i = 0; i < perThread; ++i)
            log.Write(a);
    });
    std::thread t2([&] {
        for (int i = 0; i < perThread; ++i)
            log.Write(b);
    });
    t1.join();
    t2.join();
    log.Close();

    std::ifstream in(path, std::ios::binary);
    std::string line;
    int as = 0, bs = 0;
    const std::regex whole(R"(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: (a{300}|b{300})\r$)");
    while (std::getline(in, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, whole)) << line.substr(0, 80);
        (m[1].str()[0] == 'a' ? as : bs)++;
    }
    EXPECT_EQ(as, perThread);
    EXPECT_EQ(bs, perThread);
}

} // namespace
