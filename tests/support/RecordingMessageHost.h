#pragma once

#include <string>
#include <vector>

#include "text/Messages.h"

namespace twk::test {

struct RecordedMessage {
    std::wstring caption;
    void* owner = nullptr;
    unsigned type = 0;
    std::wstring text;
};

// A message host that remembers every message and answers with a fixed button. Installs
// itself for ShowMessage while it lives. For the thread that shows messages only.
class RecordingMessageHost : public MessageHost {
public:
    explicit RecordingMessageHost(int answer = kIdOk);
    ~RecordingMessageHost() override;
    RecordingMessageHost(const RecordingMessageHost&) = delete;
    RecordingMessageHost& operator=(const RecordingMessageHost&) = delete;

    int Show(const std::wstring& caption, void* owner, unsigned type,
             const std::wstring& text) override;

    const std::vector<RecordedMessage>& messages() const { return messages_; }
    void Clear() { messages_.clear(); }
    void set_answer(int answer) { answer_ = answer; }

private:
    int answer_;
    std::vector<RecordedMessage> messages_;
};

}  // namespace twk::test
