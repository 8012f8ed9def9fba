#pragma once

#include <deque>
#include <string>
#include <vector>

#include "text/Messages.h"

namespace twk::test {

// Stands in for the message boxes while it lives: records every message and answers with
// the queued answers (OK once the queue is empty).
class MessageRecorder : public MessageHost {
public:
    struct Shown {
        std::wstring caption;
        void* owner;
        unsigned type;
        std::wstring text;
    };

    MessageRecorder();
    ~MessageRecorder() override;
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    int Show(const std::wstring& caption, void* owner, unsigned type,
             const std::wstring& text) override;

    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<Shown>& shown() const { return shown_; }
    // The text of the last message, or empty when none was shown.
    std::wstring last_text() const { return shown_.empty() ? std::wstring() : shown_.back().text; }
    void Clear() { shown_.clear(); }

private:
    std::vector<Shown> shown_;
    std::deque<int> answers_;
};

}  // namespace twk::test
