#pragma once

#include <optional>
#include <string>
#include <system_error>

namespace twk {

// Message box flags and answers, with the values the desktop toolkits share.
enum MessageType : unsigned {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbIconError = 0x10,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};
enum MessageAnswer : int {
    kIdOk = 1,
    kIdCancel = 2,
};

// Shows message boxes for the core. The GUI installs one that opens a real box; tests
// install one that records and answers; without one, messages go to standard error and
// confirmations are answered with Cancel, so nothing proceeds unasked.
class MessageHost {
public:
    virtual ~MessageHost() = default;
    // owner is the front end's window (a QWidget* in the GUI) or null.
    virtual int Show(const std::wstring& caption, void* owner, unsigned type,
                     const std::wstring& text) = 0;
};

// Installs the host for ShowMessage; null restores the standard-error fallback.
// Not owned; the caller keeps it alive while it is installed.
void SetMessageHost(MessageHost* host);

// Shows text with the caption LoadText(captionId) (empty for 0); returns the answer.
int ShowMessage(int captionId, void* owner, unsigned type, const std::wstring& text);

// LoadText(formatId) with "%1%" filled by the system's text for error ("?" when there is
// no error or no text) and "%2%" by second when given.
std::wstring FormatSystemError(int formatId, std::error_code error,
                               const std::optional<std::wstring>& second = std::nullopt);

// The same for the calling thread's last C library error (errno).
std::wstring FormatSystemError(int formatId,
                               const std::optional<std::wstring>& second = std::nullopt);

}  // namespace twk
