// The main cycle on fake steps: one database start and close per pass,
// restart, the eject dialog, and the administrator's offer to set up.
#include "app_fixture.h"

#include "app/mainloop.h"
#include "app/startup.h"
#include "foundation/globals.h"

#include <deque>
#include <string>
#include <vector>

namespace {

struct Script {
    std::vector<std::string> calls;
    std::deque<BOOL> settings, disk, db, window;
    std::deque<int> answers, eject;
    std::deque<bool> restartAfterLoop;   // the exit menu's choice, pass by pass
};
Script* gScript = nullptr;

BOOL Take(std::deque<BOOL>& queue)
{
    if (queue.empty())
        return TRUE;
    BOOL v = queue.front();
    queue.pop_front();
    return v;
}

BOOL FakeSettings()
{
    gScript->calls.push_back("settings");
    return Take(gScript->settings);
}
BOOL FakeDisk()
{
    gScript->calls.push_back("disk");
    return Take(gScript->disk);
}
BOOL FakeDbStart()
{
    gScript->calls.push_back("dbstart");
    return Take(gScript->db);
}
BOOL FakeDbClose()
{
    gScript->calls.push_back("dbclose");
    return TRUE;
}
BOOL FakeCreate()
{
    gScript->calls.push_back("create");
    return Take(gScript->window);
}
void FakeDestroy()
{
    gScript->calls.push_back(MainLoopEnded ? "destroy after loop" : "destroy");
}
int FakeLoop()
{
    gScript->calls.push_back("loop");
    bool restart = false;
    if (!gScript->restartAfterLoop.empty()) {
        restart = gScript->restartAfterLoop.front();
        gScript->restartAfterLoop.pop_front();
    }
    if (restart)
        RestartRequested = TRUE;
    return 0;
}
int FakeAsk()
{
    gScript->calls.push_back("ask");
    int a = gScript->answers.empty() ? IDNO : gScript->answers.front();
    if (!gScript->answers.empty())
        gScript->answers.pop_front();
    return a;
}
void FakeSettingsDialog()
{
    gScript->calls.push_back("settings dialog");
}
int FakeEject()
{
    gScript->calls.push_back("eject");
    int a = gScript->eject.empty() ? 1 : gScript->eject.front();
    if (!gScript->eject.empty())
        gScript->eject.pop_front();
    return a;
}

const MainCycleSteps kFakes = {FakeSettings, FakeDisk, FakeDbStart, FakeDbClose, FakeCreate,
                               FakeDestroy,  FakeLoop, FakeAsk,     FakeSettingsDialog, FakeEject};

class MainCycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        gScript = &script;
        MainLoopEnded = RestartRequested = EjectRequested = FALSE;
    }
    void TearDown() override
    {
        gScript = nullptr;
        IsAdministrator = false;
        MainLoopEnded = RestartRequested = EjectRequested = FALSE;
    }
    std::vector<std::string> Run()
    {
        RunMainLoop(kFakes);
        return script.calls;
    }
    Script script;
};

typedef std::vector<std::string> Calls;

TEST_F(MainCycle, OnePassOpensAndClosesTheDatabaseAroundTheWindow)
{
    EXPECT_EQ((Calls{"settings", "disk", "dbstart", "create", "loop", "destroy after loop", "dbclose"}), Run());
    EXPECT_TRUE(MainLoopEnded);
}

TEST_F(MainCycle, RestartRunsAnotherPassWithFreshFlags)
{
    script.restartAfterLoop = {true, false};
    EXPECT_EQ((Calls{"settings", "disk", "dbstart", "create", "loop", "destroy after loop", "dbclose", "settings",
                     "disk", "dbstart", "create", "loop", "destroy after loop", "dbclose"}),
              Run());
    EXPECT_FALSE(RestartRequested);
}

TEST_F(MainCycle, AnEjectRequestRunsTheEjectDialogBeforeTheNextPass)
{
    script.restartAfterLoop = {true, false};
    EjectRequested = TRUE;
    Calls calls = Run();
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ("eject", calls[7]);
    EXPECT_EQ("settings", calls[8]);
    EXPECT_FALSE(EjectRequested);
}

TEST_F(MainCycle, TheEjectDialogCanEndTheProgram)
{
    script.restartAfterLoop = {true};
    script.eject = {0};
    EjectRequested = TRUE;
    EXPECT_EQ((Calls{"settings", "disk", "dbstart", "create", "loop", "destroy after loop", "dbclose", "eject"}),
              Run());
}

TEST_F(MainCycle, AWindowThatCannotBeMadeStillClosesTheDatabase)
{
    script.window = {FALSE};
    EXPECT_EQ((Calls{"settings", "disk", "dbstart", "create", "dbclose"}), Run());
}

TEST_F(MainCycle, AFailedDatabaseStartIsNotClosedAndEndsForAnOrdinaryUser)
{
    script.db = {FALSE};
    EXPECT_EQ((Calls{"settings", "disk", "dbstart"}), Run());
}

TEST_F(MainCycle, AnAdministratorIsOfferedTheSettingsAndTheCycleTriesAgain)
{
    IsAdministrator = true;
    script.settings = {FALSE, TRUE};
    script.answers = {IDYES};
    EXPECT_EQ((Calls{"settings", "ask", "settings dialog", "settings", "disk", "dbstart", "create", "loop",
                     "destroy after loop", "dbclose"}),
              Run());
}

TEST_F(MainCycle, AnAdministratorWhoSaysNoEndsTheProgram)
{
    IsAdministrator = true;
    script.disk = {FALSE};
    script.answers = {IDNO};
    EXPECT_EQ((Calls{"settings", "disk", "ask"}), Run());
}

TEST_F(MainCycle, TheDiskServiceWaitFollowsTheSettings)
{
    script.settings = {FALSE};
    EXPECT_EQ((Calls{"settings"}), Run());
}

}  // namespace
