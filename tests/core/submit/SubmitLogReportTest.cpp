// A log that cannot be written is told once per run. The jobs here run no thread: the
// starter stands in for a worker whose log failed and reports at once.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitLog.h"
#include "submit/SubmitManager.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

TEST(SubmitLogReport, FirstFailedLogOfARunIsKeptUntilTheNextRun) {
    test::TestDatabase db;
    SetProgramDirectory(db.dir().path());
    const int32_t profile = test::AddProfile(L"Main");
    const MessageRecord message = test::AddMessage(profile, L"Subject", L"Body");
    SetOptionInt(OptThreadCount, 1, profile);
    const ForumList forums = test::AddForums(profile, 3, test::ForumSpec{});

    JobEventQueue queue;
    SubmitManager manager(queue);
    // Forums 2 and 3 fail to write their logs; only the first failure is told.
    auto failing_logs = [&forums](SubmitJob& job, JobWork) {
        job.log_error = job.forum_copy.forum_id == forums[0].forum_id ? 0 : EACCES;
        job.sink->JobDone(job.slot, kOk);
        return true;
    };
    manager.SetJobStarter(failing_logs);
    manager.Reload(profile, message);
    manager.StartRun();
    EXPECT_TRUE(manager.log_failure().empty());
    ASSERT_TRUE(test::RunToEnd(manager, queue));
    EXPECT_EQ(manager.log_failure_forum(), forums[1].forum_id);
    EXPECT_EQ(manager.log_failure(),
              LogFailureText(forums[1].forum_id, message.message_id, EACCES));
    EXPECT_NE(manager.log_failure().find(L"Permission denied"), std::wstring::npos);

    // A new run starts with a clean slate.
    manager.Resubmit({forums[0].forum_id});
    manager.SetJobStarter([](SubmitJob& job, JobWork) {
        job.sink->JobDone(job.slot, kOk);
        return true;
    });
    manager.StartRun();
    ASSERT_TRUE(test::RunToEnd(manager, queue));
    EXPECT_TRUE(manager.log_failure().empty());
    EXPECT_EQ(manager.log_failure_forum(), -1);
}

}  // namespace
}  // namespace twk
