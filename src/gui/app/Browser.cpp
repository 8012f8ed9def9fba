#include "app/Browser.h"

#include <QDesktopServices>

namespace twk::gui {
namespace {

std::function<void(const QUrl&)>& TestBrowser() {
    static std::function<void(const QUrl&)> browser;
    return browser;
}

}  // namespace

const char kHomePageUrl[] = "https://tallowick.example.org/";

void OpenInBrowser(const QUrl& url) {
    if (TestBrowser()) {
        TestBrowser()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

void SetBrowserForTesting(std::function<void(const QUrl&)> browser) {
    TestBrowser() = std::move(browser);
}

}  // namespace twk::gui
