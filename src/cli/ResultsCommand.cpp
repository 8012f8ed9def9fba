#include <iostream>
#include <unordered_map>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Tables.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk::cli {

int Results(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "message", "db"}, {}, error) || !options.Get("profile") ||
        !options.Get("message")) {
        std::cerr << "twk results: "
                  << (error.empty() ? "--profile and --message are needed" : error)
                  << "\nUsage: twk results --profile NAME --message ID [--db PATH]\n";
        return kExitUsage;
    }
    if (!OpenDatabaseOption(options, "results")) {
        return kExitData;
    }
    int32_t profile_id = FindProfile(*options.Get("profile"), "results");
    MessageRecord message;
    if (profile_id == -1 || !FindMessage(*options.Get("message"), profile_id, message, "results")) {
        return kExitData;
    }
    ForumList forums;
    forums.LoadForProfile(profile_id);
    SubmitList results;
    results.LoadForMessage(message.message_id);
    SendingList sending_rows;
    ListSendings(L"[message_id]=" + std::to_wstring(message.message_id), sending_rows);
    std::unordered_map<int32_t, const SendingRecord*> sendings;
    for (const SendingRecord& sending : sending_rows) {
        sendings.emplace(sending.forum_id, &sending);
    }

    // A forum's result is the first record for it.
    std::unordered_map<int32_t, const SubmitRecord*> first_result;
    for (const SubmitRecord& record : results) {
        first_result.emplace(record.forum_id, &record);
    }

    std::cout << "Forum\tSection\tUsername\tSubmit Date\tResult\tTopic URL\n";
    for (const ForumRecord& forum : forums) {
        // A forum never scanned has no title yet; its address is the next best name.
        std::cout << Narrow(forum.title.empty() ? forum.main_url : forum.title) << "\t"
                  << Narrow(forum.forum_title) << "\t" << Narrow(forum.login);
        auto found = first_result.find(forum.forum_id);
        auto sent = sendings.find(forum.forum_id);
        const SubmitRecord* result = found == first_result.end() ? nullptr : found->second;
        if (IsInterrupted(result, sent == sendings.end() ? nullptr : sent->second)) {
            // Until the next run has looked for it in the section.
            std::cout << "\t" << Narrow(FormatSubmitDate(sent->second->stime)) << "\t"
                      << Narrow(LoadText(kIdsInterruptedPost)) << "\t";
        } else if (result != nullptr) {
            std::cout << "\t" << Narrow(FormatSubmitDate(result->stime)) << "\t"
                      << Narrow(ResultText(result->result, result->err, forum.engine)) << "\t"
                      << Narrow(result->thread);
        } else {
            std::cout << "\t\t\t";
        }
        std::cout << "\n";
    }
    return 0;
}

}  // namespace twk::cli
