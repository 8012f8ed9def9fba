// Message boxes through the host, and system error texts.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "support/RecordingMessageHost.h"
#include "text/Messages.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

using test::RecordingMessageHost;

TEST(MessagesTest, ShowMessageGoesToTheHostWithItsCaption) {
    RecordingMessageHost host(kIdCancel);
    int owner = 0;
    EXPECT_EQ(ShowMessage(kIdsWarning, &owner, kMbOkCancel | kMbIconWarning, L"Sure?"), kIdCancel);
    EXPECT_EQ(ShowMessage(0, nullptr, kMbIconInformation, L"No caption"), kIdCancel);
    ASSERT_EQ(host.messages().size(), 2u);
    EXPECT_EQ(host.messages()[0].caption, L"Warning");
    EXPECT_EQ(host.messages()[0].owner, &owner);
    EXPECT_EQ(host.messages()[0].type, static_cast<unsigned>(kMbOkCancel | kMbIconWarning));
    EXPECT_EQ(host.messages()[0].text, L"Sure?");
    EXPECT_EQ(host.messages()[1].caption, L"");
}

TEST(MessagesTest, WithoutAHostConfirmationsAreDeclined) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowMessage(kIdsWarning, nullptr, kMbOkCancel | kMbIconWarning, L"Delete?"),
              kIdCancel);
    EXPECT_EQ(ShowMessage(kIdsError, nullptr, kMbIconError, L"Broken"), kIdOk);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("Warning: Delete?"), std::string::npos);
    EXPECT_NE(printed.find("Error: Broken"), std::string::npos);
}

TEST(MessagesTest, FormatSystemErrorFillsTheSystemText) {
    std::error_code denied = std::make_error_code(std::errc::permission_denied);
    std::wstring reason = Utf8ToWide(denied.message());
    ASSERT_FALSE(reason.empty());
    EXPECT_EQ(FormatSystemError(kIdsCopyError, denied),
              L"Error while copying the database\r\n" + reason);
    EXPECT_EQ(FormatSystemError(kIdsDeleteError, denied, std::wstring(L"/data/twk.db.bak")),
              L"Error while deleting file /data/twk.db.bak\r\n" + reason);
    EXPECT_EQ(FormatSystemError(kIdsCopyError, std::error_code()),
              L"Error while copying the database\r\n?");
}

TEST(MessagesTest, FormatSystemErrorTakesErrnoWhenNoCodeIsGiven) {
    errno = EACCES;
    std::wstring text = FormatSystemError(kIdsMoveError, std::wstring(L"old.db"));
    EXPECT_EQ(text, L"Error while moving file old.db\r\n" +
                        Utf8ToWide(std::generic_category().message(EACCES)));
    errno = 0;
    EXPECT_EQ(FormatSystemError(kIdsCopyError), L"Error while copying the database\r\n?");
}

}  // namespace
}  // namespace twk
