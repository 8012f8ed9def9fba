// twk forums and add-forum: the Submit page's forum list and the Edit Forum dialog's Add,
// with its scan, from the shell.
#include <algorithm>
#include <cwctype>
#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "engines/ScriptNames.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/SubmitJob.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

std::string AddForumUsage() {
    return "Usage: twk add-forum --profile NAME --script " + Narrow(KnownScriptsChoice()) +
           " --url URL --user NAME --section URL-OR-TITLE [--db PATH]\n";
}

// An http or https address with a host, as the Edit Forum dialog wants a main address.
bool IsForumAddress(const std::wstring& url) {
    std::wstring scheme = url.substr(0, url.find(L"://"));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if ((scheme != L"http" && scheme != L"https") ||
        std::any_of(url.begin(), url.end(), [](wchar_t c) { return c <= L' '; })) {
        return false;
    }
    const size_t host_start = scheme.size() + 3;
    std::wstring authority =
        url.substr(host_start, url.find_first_of(L"/?#", host_start) - host_start);
    authority.erase(0, authority.rfind(L'@') + 1);  // user information
    return !authority.empty() && authority[0] != L':';
}

// The sections whose address or title is wanted; a scan lists each address once.
SectionList MatchingSections(const SectionList& sections, const std::wstring& wanted) {
    SectionList found;
    for (const SectionRecord& section : sections) {
        if (section.key == wanted || section.url == wanted || section.title == wanted) {
            found.push_back(section);
        }
    }
    return found;
}

void PrintSections(const SectionList& sections) {
    if (sections.empty()) {
        std::cerr << "The forum lists no sections.\n";
    }
    for (const SectionRecord& section : sections) {
        std::cerr << "  " << Narrow(section.title) << "\t" << Narrow(section.url) << "\n";
    }
}

}  // namespace

int Forums(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "db"}, {}, error) || !options.Get("profile")) {
        return UsageError("forums", error.empty() ? "--profile is needed" : error,
                          "Usage: twk forums --profile NAME [--db PATH]\n");
    }
    int32_t profile_id = OpenProfileOption(options, "forums");
    if (profile_id == -1) {
        return kExitData;
    }
    ForumList forums;
    forums.LoadForProfile(profile_id);
    std::cout << "Id\tScript\tMain URL\tSection\tUsername\n";
    for (const ForumRecord& forum : forums) {
        std::cout << forum.forum_id << "\t" << Narrow(forum.engine) << "\t"
                  << Narrow(forum.main_url) << "\t" << Narrow(forum.forum_title) << "\t"
                  << Narrow(forum.login) << "\n";
    }
    return 0;
}

int AddForum(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "script", "url", "user", "section", "db"},
                       {kNoPausesSwitch}, error) ||
        !options.Get("profile") || !options.Get("script") || !options.Get("url") ||
        !options.Get("user")) {
        return UsageError(
            "add-forum", error.empty() ? "--profile, --script, --url and --user are needed" : error,
            AddForumUsage());
    }
    // The Edit Forum dialog's checks, in its order.
    ForumRecord forum;
    forum.engine = Wide(*options.Get("script"));
    forum.main_url = Wide(*options.Get("url"));
    forum.login = Wide(*options.Get("user"));
    if (!IsKnownScript(forum.engine)) {
        return UsageError("add-forum", UnknownScriptError(*options.Get("script")), AddForumUsage());
    }
    if (!IsForumAddress(forum.main_url)) {
        return UsageError("add-forum", Narrow(LoadText(kIdsInvalidMainUrl)), AddForumUsage());
    }
    if (forum.login.empty()) {
        return UsageError("add-forum", Narrow(LoadText(kIdsLoginMandatory)), AddForumUsage());
    }
    forum.profile_id = OpenProfileOption(options, "add-forum");
    if (forum.profile_id == -1) {
        return kExitData;
    }
    forum.pass = ReadPassword("Password for " + *options.Get("user") + ": ");
    if (forum.pass.empty()) {
        return UsageError("add-forum", Narrow(LoadText(kIdsPasswordMandatory)), AddForumUsage());
    }

    SubmitJob job;
    job.forum_copy = forum;
    ConnectionOptions connection;
    LoadConnectionOptions(connection, forum.profile_id);
    int code = RunForumScan(job, connection, options.Has(kNoPausesSwitch), "add-forum");
    if (code != kOk) {
        return code;
    }

    if (!options.Get("section")) {
        std::cerr << "twk add-forum: choose the section with --section (its title or "
                     "address); the forum's sections:\n";
        PrintSections(job.sections);
        return kExitUsage;
    }
    const std::string wanted = *options.Get("section");
    SectionList found = MatchingSections(job.sections, Wide(wanted));
    if (found.empty()) {
        std::cerr << "twk add-forum: no section has the title or address '" << wanted
                  << "'; the forum's sections:\n";
        PrintSections(job.sections);
        return kExitData;
    }
    if (found.size() > 1) {
        std::cerr << "twk add-forum: " << found.size() << " sections have the title '" << wanted
                  << "'; name one by its address:\n";
        PrintSections(found);
        return kExitData;
    }
    forum.title = job.forum_page_title;
    forum.forum_key = found[0].key;
    forum.forum_title = found[0].title;
    // A setup script run twice must not make every run post to the section twice.
    ForumList existing;
    existing.LoadForProfile(forum.profile_id);
    for (const ForumRecord& other : existing) {
        if (other.forum_key == forum.forum_key && other.login == forum.login) {
            std::cerr << "twk add-forum: the profile already has this section with this user "
                         "name (forum "
                      << other.forum_id << ")\n";
            return kExitData;
        }
    }
    if (SaveForum(forum, false) != 0) {
        std::cerr << "twk add-forum: the forum could not be stored\n";
        return 1;
    }
    std::cout << LastInsertId() << "\n";
    return 0;
}

}  // namespace twk::cli
