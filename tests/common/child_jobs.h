// Jobs that a test runs in a child process of its own test executable, so
// that it can kill the process at any moment, as a power cut or the task
// manager would, and look at what the job left behind.
//
// A test file declares its job once at namespace scope:
//
//     TF_CHILD_JOB(MergeTwoSites, [](const std::vector<std::wstring>& args) { ...; return 0; });
//
// The shared test main runs the job instead of the tests when the command
// line holds "--tf-child=<name>" (the remaining arguments are the job's), and
// the job's return value is the process's exit code. A job sets up what it
// needs itself (COM, the database, the data folders): nothing of GoogleTest
// runs in the child.
//
// RunKillLoop starts the job, waits a random time, terminates the process,
// and calls the test's check; it does that `rounds` times, then runs the job
// once more to its end and returns that run's exit code. The number of kills
// comes from TF_KILL_ROUNDS (3 when unset, as ./test.sh runs it; a longer run
// by hand: TF_KILL_ROUNDS=20 ./test.sh -R Kill), the delays from a seed that
// is printed, and repeated when TF_KILL_SEED gives it.
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

// A child process running one job of this executable.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the job with its arguments; false when the process cannot start.
    bool Start(const wchar_t* job, const std::vector<std::wstring>& args);
    // Terminates the process at once (exit code kKilledExitCode) and waits for
    // it to be gone; nothing when it has already ended.
    void Kill();
    // Waits for the end; the exit code, or STILL_ACTIVE after the time-out
    // (the process then still runs: Kill it).
    DWORD Wait(DWORD milliseconds);
    bool Running() const;

    static const DWORD kKilledExitCode = 0xDEADu;

private:
    HANDLE process_ = nullptr;
};

// The number of kills a loop makes: TF_KILL_ROUNDS, or `defaultRounds`.
int KillRounds(int defaultRounds = 3);

struct KillLoopResult {
    int killed = 0;            // rounds in which the kill met a running job
    int finishedEarly = 0;     // rounds in which the job had ended before the kill
    DWORD finalExitCode = STILL_ACTIVE;   // the last, unkilled run (STILL_ACTIVE: it timed out)
};

// Kills the job at random moments of [minDelayMs, maxDelayMs) after its start,
// KillRounds() times, calling afterKill(round) after each kill (the check of
// what the kill left: it may add GoogleTest failures), then runs the job to
// its end within finishTimeoutMs. Failures to start a child are GoogleTest
// failures.
KillLoopResult RunKillLoop(const wchar_t* job, const std::vector<std::wstring>& args, DWORD minDelayMs,
                           DWORD maxDelayMs, const std::function<void(int round)>& afterKill,
                           DWORD finishTimeoutMs = 120000);

}  // namespace harness
