// Jobs that a test runs in a child process of its own test executable, so
// that it can kill the process at any moment, as a power cut or the task
// manager would, and look at what the job left behind.
//
// A test file declares its job once at namespace scope:
//
//     TF_CHILD_JOB(MergeTwoSites, [](const std::vector<std::wstring>& args) { ...; return 0; });
//
// The shared test main runs the job instead of the tests when the command
// line holds "--tf-child=<name>" (then the death and pause the test asks for,
// then the job's own arguments), and the job's return value is the process's
// exit code. A job sets up what it
// needs itself (COM, the database, the data folders): nothing of GoogleTest
// runs in the child. The job's seams (the save's, the merge's step
// observers, the archive's file routines) call AtStep at each step of its
// work: there the child pauses, so that random kills land inside the work,
// and dies when the test asked it to die at that step.
//
// Every kill test is a table of KillJob rows run by RunKillJobs: each death
// at a step, then TF_KILL_ROUNDS kills at random moments (3 when unset, as
// ./test.sh runs it; a longer run by hand: TF_KILL_ROUNDS=20 ./test.sh -R
// Kill), each kill checked, and the job's runs to its end checked. The delays
// come from a seed that is printed, and repeated when TF_KILL_SEED gives it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace harness {

using ChildJob = int (*)(const std::vector<std::wstring>& args);

// Registers a job under its name (static registration; see TF_CHILD_JOB).
struct ChildJobEntry {
    ChildJobEntry(const wchar_t* name, ChildJob job);
};

#define TF_CHILD_JOB(name, function) \
    static const ::harness::ChildJobEntry tfChildJob_##name(L## #name, function)

// From the test main: when the command line asks for a child job, runs it,
// stores its exit code and returns true (an unknown job gives exit code 99).
bool RunChildJobIfAsked(int argc, wchar_t** argv, int* exitCode);

// The kinds of steps the jobs' seams report.
enum StepFamily { kSaveSteps = 1, kMergeSteps, kSyncSteps, kArchiveSteps };

// The occurrence-th time a step of a family is reached: where a child dies.
struct Death {
    int family = 0;   // 0: nowhere
    int step = 0;
    int occurrence = 1;
};

// In a child: a seam reached a step. Sleeps `pauseQuarters` quarters of the
// row's pause, and ends the process with kKilledExitCode at the asked death.
void AtStep(int family, int step, int pauseQuarters = 4);

const DWORD kKilledExitCode = 0xDEADu;

// A child process running a job (TF_CHILD_JOB's name) with its arguments,
// dying at `death` and pausing `pauseMs` at each step; killed (if it still
// runs) when the object ends. It failed to start when Running() is false at once.
class ChildProcess {
public:
    ChildProcess(const wchar_t* job, const std::vector<std::wstring>& args, const Death& death = Death(),
                 DWORD pauseMs = 0);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running() const;
    void Kill();
    // The exit code, or STILL_ACTIVE when the process still runs after the time.
    DWORD Wait(DWORD milliseconds);

private:
    HANDLE process_ = nullptr;
};

// The number of random kills of a row: TF_KILL_ROUNDS, or 3.
int KillRounds();

// One job of a kill test.
struct KillJob {
    const char* name;
    const wchar_t* job;                  // the TF_CHILD_JOB's name
    std::vector<std::wstring> args;
    std::vector<Death> deaths;           // each is followed by a run to the end
    DWORD pauseMs;                       // slept at every step in the randomly killed runs
    DWORD minKillMs, maxKillMs;          // when the random kills fall, after the child's start
    std::function<void()> setup;         // before the row's first run (may be empty)
    std::function<void()> afterKill;     // what any kill may leave; it may put back work for the next run
    std::function<void(DWORD exitCode)> afterRun;   // a run to the end: its exit code and what it left
};

// For each row: setup; each death (the child must die there), afterKill, a
// run to the end, afterRun; then KillRounds() kills at random moments, each
// followed by afterKill, of which at least one must fall inside the job; then
// a last run to the end and afterRun. A run to the end that takes more than
// two minutes fails.
void RunKillJobs(const std::vector<KillJob>& rows);

}  // namespace harness
