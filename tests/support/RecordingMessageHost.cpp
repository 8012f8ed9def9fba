#include "support/RecordingMessageHost.h"

namespace twk::test {

RecordingMessageHost::RecordingMessageHost(int answer) : answer_(answer) {
    SetMessageHost(this);
}

RecordingMessageHost::~RecordingMessageHost() {
    SetMessageHost(nullptr);
}

int RecordingMessageHost::Show(const std::wstring& caption, void* owner, unsigned type,
                               const std::wstring& text) {
    messages_.push_back(RecordedMessage{caption, owner, type, text});
    return answer_;
}

}  // namespace twk::test
