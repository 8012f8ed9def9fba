#include "support/MessageRecorder.h"

namespace twk::test {

MessageRecorder::MessageRecorder() {
    SetMessageHost(this);
}

MessageRecorder::~MessageRecorder() {
    SetMessageHost(nullptr);
}

int MessageRecorder::Show(const std::wstring& caption, void* owner, unsigned type,
                          const std::wstring& text) {
    shown_.push_back({caption, owner, type, text});
    if (answers_.empty()) {
        return kIdOk;
    }
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

}  // namespace twk::test
