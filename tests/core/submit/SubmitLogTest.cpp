#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engines/IPBoardEngine.h"
#include "platform/ProgramDirectory.h"
#include "submit/SubmitLog.h"
#include "support/FakeIPBoard.h"
#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "web/Charsets.h"

namespace twk {
namespace {

namespace fs = std::filesystem;

// Text as UTF-16 little-endian bytes, written out here independently of the code under
// test.
std::string Utf16Le(const std::wstring& text) {
    std::string bytes;
    auto unit = [&](uint32_t value) {
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>((value >> 8) & 0xFF);
    };
    for (wchar_t c : text) {
        uint32_t code = static_cast<uint32_t>(c);
        if (code > 0xFFFF) {
            code -= 0x10000;
            unit(0xD800 + (code >> 10));
            unit(0xDC00 + (code & 0x3FF));
        } else {
            unit(code);
        }
    }
    return bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The log folder lives in the program directory, here a temporary one.
class SubmitLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = ProgramDirectory();
        SetProgramDirectory(dir_.path());
    }
    void TearDown() override { SetProgramDirectory(previous_); }

    test::TempDir dir_;

private:
    fs::path previous_;
};

TEST_F(SubmitLogTest, OneFilePerForumAndMessageInTheLogFolder) {
    EXPECT_EQ(LogFilePath(17, 5), dir_.path() / "log" / "log_17_5.html");
    EXPECT_EQ(LogFilePath(17, -1), dir_.path() / "log" / "log_17_-1.html");  // a scan
    EXPECT_EQ(LogFilePath(-1, 5), dir_.path() / "log" / "log_-1_5.html");    // not stored yet
}

TEST_F(SubmitLogTest, LogHoldsTheAddressAndTheLastPageDecodedFromItsCharset) {
    test::FakeIPBoard board(test::IPBoardGeneration::k2, kCodePageWindows1251);
    IPBoardEngine engine;
    test::FakeSleeper sleeper;
    engine.SetSleeper(sleeper);
    engine.SetBaseUrl(board.MainUrl());
    std::wstring title;
    std::wstring topicUrl;
    ASSERT_EQ(engine.SignIn(test::FakeIPBoard::kLogin, test::FakeIPBoard::kPassword, title), kOk);
    ASSERT_EQ(engine.OpenSection(board.SectionUrl()), kOk);
    ASSERT_EQ(engine.PostTopic(L"Тема «для журнала»", L"Текст & ещё", topicUrl), kOk);
    ASSERT_FALSE(fs::exists(dir_.path() / "log"));

    EXPECT_EQ(WriteSubmitLog(17, engine, 5), 0);

    std::string bytes = ReadFile(LogFilePath(17, 5));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wstring page = DecodeEntities(DecodeBytes(engine.web.body, kCodePageWindows1251));
    EXPECT_EQ(bytes, Utf16Le(L"\uFEFF<body>\r\n" + board.TopicUrl(1) + L"\r\n<hr>\r\n" + page));
    // The topic page came in windows-1251 with "&amp;" in it; the log has the text.
    EXPECT_NE(page.find(L"Тема «для журнала»"), std::wstring::npos);
    EXPECT_NE(page.find(L"Текст & ещё"), std::wstring::npos);
}

TEST_F(SubmitLogTest, SecondWriteReplacesTheFirst) {
    test::FakeIPBoard board(test::IPBoardGeneration::k3, kCodePageUtf8);
    IPBoardEngine first;
    first.SetBaseUrl(board.MainUrl());
    SectionList sections;
    ASSERT_EQ(first.ReadSections(sections), kOk);
    ASSERT_EQ(WriteSubmitLog(17, first, -1), 0);
    ASSERT_GT(ReadFile(LogFilePath(17, -1)).size(), 1000u);

    // A job stopped before its first request: no address, no page.
    IPBoardEngine second;
    EXPECT_EQ(WriteSubmitLog(17, second, -1), 0);
    EXPECT_EQ(ReadFile(LogFilePath(17, -1)), Utf16Le(L"\uFEFF<body>\r\n\r\n<hr>\r\n"));
}

TEST_F(SubmitLogTest, LogFolderAndFilesAreTheOwnersAlone) {
    IPBoardEngine engine;
    ASSERT_EQ(WriteSubmitLog(17, engine, 5), 0);
    EXPECT_EQ(fs::status(LogFilePath(17, 5).parent_path()).permissions(), fs::perms(0700));
    EXPECT_EQ(fs::status(LogFilePath(17, 5)).permissions(), fs::perms(0600));

    // A log an older version left readable by everyone is closed when it is replaced.
    fs::permissions(LogFilePath(17, 5), fs::perms(0644));
    ASSERT_EQ(WriteSubmitLog(17, engine, 5), 0);
    EXPECT_EQ(fs::status(LogFilePath(17, 5)).permissions(), fs::perms(0600));
}

TEST_F(SubmitLogTest, UnwritableLogReturnsAnErrorWithoutThrowing) {
    IPBoardEngine engine;
    // A folder where the file should be.
    fs::create_directories(LogFilePath(3, 4));
    int result = -1;
    EXPECT_NO_THROW(result = WriteSubmitLog(3, engine, 4));
    EXPECT_NE(result, 0);

    // A file where the log folder should be.
    test::TempDir other;
    SetProgramDirectory(other.path());
    std::ofstream(other.path() / "log") << "not a folder";
    EXPECT_NO_THROW(result = WriteSubmitLog(3, engine, 4));
    EXPECT_NE(result, 0);
}

}  // namespace
}  // namespace twk
