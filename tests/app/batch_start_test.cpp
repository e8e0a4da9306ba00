// Batch start before anything is queued: the worker priority from the settings, and the
// warning when no row is checked. No media are needed.

#include <gtest/gtest.h>

#include "app/batch_controller.h"
#include "app/job_list.h"
#include "app_test_support.h"
#include "converter/converter.h"
#include "profiles/test_support.h"

namespace quillo::app {
namespace {

using converter::ThreadPriority;

TEST(BatchStart, WithoutACheckedRowItWarnsAndOnlySetsThePriority) {
    testing::SettingsFolder settings;
    quillo::testing::ScriptedPrompter prompter;
    testing::RecordingSystemServices system;
    converter::Converter converter;
    JobList jobs(converter, settings.Files(), prompter);
    BatchController batch(converter, jobs, settings.Files(), prompter, system);
    testing::BatchLog log;
    batch.SetObserver(&log);

    // No "priority" key: the default 1, normal.
    converter.SetThreadPriority(ThreadPriority::tpIdle);
    EXPECT_FALSE(batch.Start().Started);
    EXPECT_EQ(converter.ThreadPriority(), ThreadPriority::tpNormal);

    const struct {
        const char* stored;
        ThreadPriority priority;
    } cases[] = {
        {"3", ThreadPriority::tpLowest}, {"0", ThreadPriority::tpIdle},
        {"7", ThreadPriority::tpIdle},  // others leave it unchanged
        {"2", ThreadPriority::tpLower},  {"-1", ThreadPriority::tpLower},
        {"1", ThreadPriority::tpNormal}, {"3", ThreadPriority::tpLowest},
        {"", ThreadPriority::tpNormal},  // no number: the default 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        settings.Settings().WriteString("settings", "priority", c.stored);
        const BatchStartResult result = batch.Start();
        EXPECT_FALSE(result.Started);
        EXPECT_EQ(result.Tasks, 0);
        EXPECT_EQ(converter.ThreadPriority(), c.priority);
        ASSERT_FALSE(prompter.warnings.empty());
        EXPECT_EQ(prompter.warnings.back(),
                  "Warning|Please select a file by clicking the check box!");
    }
    EXPECT_EQ(prompter.warnings.size(), std::size(cases) + 1);
    EXPECT_FALSE(batch.Running());
    EXPECT_TRUE(log.started.empty());
    EXPECT_TRUE(log.buttons.empty());
    EXPECT_TRUE(system.openedFolders.empty());
}

}  // namespace
}  // namespace quillo::app
