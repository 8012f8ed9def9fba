#pragma once

#include <QUrl>
#include <functional>

namespace twk::gui {

// The product home page, opened from Help > Home Page and the About box.
extern const char kHomePageUrl[];

// Opens an address or a local file in the user's default browser. Failures (no browser)
// are not reported: there is nothing the user could do about them here.
void OpenInBrowser(const QUrl& url);

// Replaces the browser while the tests run, so that no browser starts; an empty function
// restores the real one.
void SetBrowserForTesting(std::function<void(const QUrl&)> browser);

}  // namespace twk::gui
