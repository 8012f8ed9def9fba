#include "storage/Records.h"

#include "storage/SqlText.h"
#include "storage/Tables.h"

namespace twk {

// The loaders replace the whole content; a failed read leaves the rows read before it.

void MessageList::LoadForProfile(int32_t profileId) {
    clear();
    ListMessages(L"[profile_id]=" + sql::Decimal(profileId), *this);
}

void ForumList::LoadForProfile(int32_t profileId) {
    clear();
    ListForums(L"[profile_id]=" + sql::Decimal(profileId), *this);
}

void SubmitList::LoadForMessage(int32_t messageId) {
    clear();
    ListSubmits(L"[message_id]=" + sql::Decimal(messageId), *this);
}

}  // namespace twk
