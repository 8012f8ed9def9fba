#pragma once

#include <gtest/gtest.h>

#include <QList>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "support/MessageRecorder.h"
#include "support/TempDir.h"

class QDialog;

namespace twk::test {

// A fresh database opened as the program's connection, message boxes recorded and
// answered, and the browser replaced by a list of the addresses it was asked to open.
class GuiTest : public testing::Test {
protected:
    GuiTest();
    ~GuiTest() override;

    TempDir dir{"twk-gui"};
    std::filesystem::path database;
    MessageRecorder messages;
    QList<QUrl> opened_urls;
};

// Runs action on the next modal dialog as soon as it is shown, inside that dialog's own
// event loop; so a test can call the code that runs exec(). A dialog that never shows
// fails the test.
void WhenModal(std::function<void(QDialog*)> action);

// Fills a profile with forums and options so that copies of it can be told apart.
int32_t MakeProfile(const std::wstring& name, int forums);

}  // namespace twk::test
