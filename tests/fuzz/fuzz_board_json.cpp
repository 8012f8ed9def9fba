// Answers of the boards that talk JSON: any bytes as the body of any status, through every
// reader of those answers.
#include "FuzzInput.h"
#include "engines/DiscourseAnswer.h"

namespace {

// The statuses the readers tell apart, and one they do not.
constexpr int kStatuses[] = {200, 400, 403, 404, 422, 429, 500, 502, 503};

void ReadAsDiscourse(int status, std::string_view body, const std::wstring& header) {
    using namespace twk::discourse;
    ReadSignInAnswer(status, body, header);
    ReadPostAnswer(status, body, header);
    ReadWords(body);
    ReadCsrf(body);
    Site site;
    if (ReadSite(body, site)) {
        for (const Category& category : site.categories) {
            CategoryPath(site, category);
        }
    }
    Settings settings;
    ReadSettings(body, settings);
    Topic topic;
    if (ReadTopic(body, topic)) {
        SameTitle(topic.title, header);
    }
    for (const twk::TopicEntry& entry : ReadTopicList(body, L"https://example.org/forum")) {
        SameTitle(entry.title, header);
    }
    CountedText(header);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const int status = kStatuses[input.Byte() % (sizeof(kStatuses) / sizeof(kStatuses[0]))];
    // A Retry-After header, or a title to compare.
    const std::wstring header = input.Text();
    const std::string_view body = input.Rest();
    ReadAsDiscourse(status, body, header);
    return 0;
}
