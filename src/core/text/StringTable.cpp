#include "text/StringTable.h"

#include <algorithm>

namespace twk {
namespace {

struct Entry {
    int id;
    const wchar_t* text;
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {101, L"&About ZUV..."},
    {102, L"Message"},
    {103, L"Submit"},
    {104, L"Forum"},
    {105, L"Section"},
    {106, L"Result"},
    {107, L"Username"},
    {108, L"Profile %1% already exists."},
    {109, L"Error"},
    {110, L"Submit Date"},
    {111, L"Are you sure you want to delete selected message?"},
    {112, L"Are you sure you want to delete selected profile?"},
    {113, L"Warning"},
    {114, L"Sending login information ..."},
    {115, L"Empty subject"},
    {116, L"Opening forum ..."},
    {117, L"Sending message ..."},
    {118, L"Topic URL"},
    {119, L"Invalid database file %1%"},
    {120, L"Reading forum list"},
    {123, L"Are you sure you want to delete selected forums?"},
    {124, L"No profile name specified"},
    {126, L"Number of threads"},
    {127, L"Options for profile %1%"},
    {128, L"Proxy Address"},
    {129, L"Proxy Port"},
    {130, L"Proxy Login"},
    {131, L"Proxy Password"},
    {132, L"Connection"},
    {133, L"Auto"},
    {134, L"Direct"},
    {135, L"Proxy"},
    {136, L"Database saved succesfully"},
    {137, L"Error while copying the database\r\n%1%"},
    {138, L" "},
    {139, L"Error while moving file %2%\r\n%1%"},
    {140, L"Error while deleting file %2%\r\n%1%"},
    {141, L"%1% items found"},
    {142, L"No section selected"},
    {143, L"Invalid Main URL"},
    {144, L"Login is mandatory"},
    {145, L"Password is mandatory"},
    {146, L"Profile %1% could not be created."},
    {150, L"Waiting for the forum's flood limit ..."},
    {151, L"The subject has %1% characters; this board accepts at most %2%."},
    {152, L"The message has %1% characters; this board accepts at most %2%."},
    {153,
     L"The forum answered \"%1%\" after the message was sent, and the topic is not listed "
     L"in the section: it may still have been posted."},
    {154, L"The forum is busy, trying again ..."},
    {155, L"Interrupted: the post may have gone out"},
    {156, L"Stopped after sending: the post may have gone out"},
    {157, L"Looking for the interrupted post ..."},
    {158, L"Not sent: the database could not record that the post goes out"},
    {159,
     L"The post of an interrupted run may have gone out, and this board's section cannot be "
     L"read to find it."},
    {160, L"The subject has %1% characters; this board needs at least %2%."},
    {161, L"The message has %1% characters; this board needs at least %2%."},
    {162,
     L"The forum accepted the password but does not keep this program signed in (it may "
     L"take it for a crawler)."},
    {163, L"The forum says this category does not exist, or it cannot be seen."},
    {164, L"This account may not start topics in this category."},
    {165, L"The forum named the new topic but it could not be read back: %1%"},
    {170, L"%1%: %2% OK, %3% to look at, %4% failed."},
    {171, L"Replies"},
    {172,
     L"The account needs a second sign-in step (a code or a security key), which Tallowick "
     L"cannot enter yet. The forum says: %1%"},
    {173,
     L"The forum takes no password sign-in: it allows only single sign-on or sign-in with "
     L"another site's account. The forum says: %1%"},
    {174, L"The forum says the password has expired; set a new one on the forum first."},
    {175, L"The forum has no category %1%."},
    {176, L"The account may not start topics in the category \"%1%\"."},
    {177, L"The forum holds the topic until a moderator approves it%1%."},
    {178, L"The forum answered that it created topic %1%, but reading the topic back gave: %2%"},
    {179, L"The forum shows this topic only to accounts that may see its section."},
    {180, L"Updating the topic ..."},
    {181, L"Reading the replies ..."},
    {182, L"Waiting for this account's other forum ..."},
    {183, L"Interrupted: the update may have gone out"},
    {184, L"Not sent: the database could not record that the update goes out"},
    {185, L"The forum took the edit, but the topic still shows the old subject."},
    {186, L"The forum answered %1% for the topic: it is gone."},
    {187, L"This forum script cannot edit topics."},
    {188, L"This forum script cannot read replies."},
    {190, L"The topic's first post offers no edit link to this account."},
    {191, L"The forum answered \"%1%\", but the topic still shows the old subject."},
    {192, L"The page shows no posts of a topic."},
    {210, L"The forum's edit form for this topic has no subject field."},
    {211, L"The topic's first post offers no Edit link to this account: it was posted by %1%."},
    {212,
     L"The topic's first post offers no Edit link to this account: the forum's time limit "
     L"for edits may have passed."},
    {230, L"The topic's first post is not this account's: the forum offers no edit of it."},
    {231,
     L"The forum answered \"%1%\" after the edit was sent, and the topic does not show the "
     L"new subject: the edit may still have been taken."},
    {232, L"The forum took the edit, but the topic could not be read again: %1%"},
    {233, L"The address names no topic of this forum: %1%"},
};

}  // namespace

std::wstring LoadText(int id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const Entry& e, int key) { return e.id < key; });
    if (it == std::end(kStrings) || it->id != id) {
        return {};
    }
    return it->text;
}

}  // namespace twk
