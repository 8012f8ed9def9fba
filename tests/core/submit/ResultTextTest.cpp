#include <gtest/gtest.h>

#include "submit/ResultText.h"

namespace twk {
namespace {

TEST(ResultTextTest, EveryCodeHasItsText) {
    struct Row {
        int code;
        const wchar_t* text;
    } rows[] = {
        {0, L"OK"},
        {1, L"Unknown error"},
        {2, L"Connection error"},
        {3, L"Stopped"},
        {4, L"Unk. error"},
        {5, L"Charset error"},
        {6, L"Not phpBB script"},
        {7, L"Invalid login"},
        {8, L"New topic not allowed"},
        {9, L"Warning - check result"},
        {10, L"No message form"},
        {11, L"Server Error"},
        {12, L"Topic gone"},
        {13, L"Edit not allowed"},
        // Pending (a submission still running) and anything the stored data might hold
        // beyond the known codes.
        {-1, L"?"},
        {14, L"?"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ResultText(row.code, L"", L"phpBB"), row.text) << "code " << row.code;
    }
}

TEST(ResultTextTest, NotScriptNamesTheForumsScript) {
    EXPECT_EQ(ResultText(6, L"", L"vBulletin"), L"Not vBulletin script");
    EXPECT_EQ(ResultText(6, L"", L"IPBoard"), L"Not IPBoard script");
}

TEST(ResultTextTest, FailureTextIsShownInsteadOfTheCodesText) {
    struct Row {
        int code;
        const wchar_t* failure;
        const wchar_t* shown;
    } rows[] = {
        {2, L"404 Not Found", L"404 Not Found"},
        {9, L"500 Internal Server Error", L"500 Internal Server Error"},
        {2, L"", L"Connection error"},
        // Outside the known codes the code wins over any text.
        {14, L"404 Not Found", L"?"},
        {-1, L"Couldn't connect to server", L"?"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ResultText(row.code, row.failure, L"phpBB"), row.shown) << "code " << row.code;
    }
}

TEST(ResultTextTest, SubmitDateIsWrittenInUtc) {
    struct Row {
        int64_t stime;
        const wchar_t* text;
    } rows[] = {
        {1796911387, L"12/10/26 14:03:07"},
        {1234567890, L"02/13/09 23:31:30"},
        {2147483648, L"01/19/38 03:14:08"},  // past 32-bit seconds
        {0, L""},                            // no result yet
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FormatSubmitDate(row.stime), row.text) << row.stime;
    }
}

}  // namespace
}  // namespace twk
