#include "common/child_jobs.h"

#include <stdlib.h>
#include <wchar.h>

#include <map>
#include <random>

#include <gtest/gtest.h>

namespace harness {
namespace {

const wchar_t kChildSwitch[] = L"--tf-child=";

std::map<std::wstring, ChildJob>& Jobs()
{
    static std::map<std::wstring, ChildJob> jobs;
    return jobs;
}

// The child's death and pause, from its second argument.
Death gDeath;
DWORD gPauseMs = 0;

// One argument quoted as CommandLineToArgvW reads it back.
void AppendQuoted(std::wstring* line, const std::wstring& arg)
{
    *line += L" \"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        line->append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        *line += c;
    }
    line->append(slashes * 2, L'\\');
    *line += L'"';
}

// A run of the row to its end, then its check.
void RunToTheEnd(const KillJob& row)
{
    ChildProcess child(row.job, row.args, Death(), 0);
    const DWORD code = child.Wait(120000);
    EXPECT_NE(STILL_ACTIVE, code) << "the run to the end took more than two minutes";
    row.afterRun(code);
}

}  // namespace

ChildProcess::ChildProcess(const wchar_t* job, const std::vector<std::wstring>& args, const Death& death,
                           DWORD pauseMs)
{
    wchar_t exe[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line;
    AppendQuoted(&line, exe);
    line.erase(0, 1);   // no blank before the program: the runtime would read an empty argv[0]
    line += L' ' + std::wstring(kChildSwitch) + job;
    AppendQuoted(&line, std::to_wstring(death.family) + L":" + std::to_wstring(death.step) + L":" +
                            std::to_wstring(death.occurrence) + L":" + std::to_wstring(pauseMs));
    for (const std::wstring& arg : args)
        AppendQuoted(&line, arg);
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "the child job cannot start: error " << GetLastError();
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (process_)
        CloseHandle(process_);
}

bool ChildProcess::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill()
{
    if (Running() && TerminateProcess(process_, kKilledExitCode))
        WaitForSingleObject(process_, 30000);
}

DWORD ChildProcess::Wait(DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (process_ && WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_, &code);
    return code;
}

ChildJobEntry::ChildJobEntry(const wchar_t* name, ChildJob job)
{
    Jobs()[name] = job;
}

bool RunChildJobIfAsked(int argc, wchar_t** argv, int* exitCode)
{
    const size_t switchLength = wcslen(kChildSwitch);
    if (argc < 3 || wcsncmp(argv[1], kChildSwitch, switchLength) != 0)
        return false;
    const auto found = Jobs().find(argv[1] + switchLength);
    if (found == Jobs().end()) {
        fwprintf(stderr, L"no child job named %ls\n", argv[1] + switchLength);
        *exitCode = 99;
        return true;
    }
    swscanf(argv[2], L"%d:%d:%d:%lu", &gDeath.family, &gDeath.step, &gDeath.occurrence, &gPauseMs);
    *exitCode = found->second(std::vector<std::wstring>(argv + 3, argv + argc));
    return true;
}

void AtStep(int family, int step, int pauseQuarters)
{
    if (gPauseMs)
        Sleep(gPauseMs * pauseQuarters / 4);
    if (gDeath.family == family && gDeath.step == step && --gDeath.occurrence == 0)
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

int KillRounds()
{
    wchar_t text[16];
    if (GetEnvironmentVariableW(L"TF_KILL_ROUNDS", text, 16) > 0 && _wtoi(text) > 0)
        return _wtoi(text);
    return 3;
}

void RunKillJobs(const std::vector<KillJob>& rows)
{
    wchar_t text[32];
    const unsigned seed = GetEnvironmentVariableW(L"TF_KILL_SEED", text, 32) > 0
                              ? (unsigned)wcstoul(text, nullptr, 10)
                              : (unsigned)(GetTickCount() ^ (GetCurrentProcessId() << 16));
    SCOPED_TRACE(::testing::Message() << "kill delays from TF_KILL_SEED=" << seed);
    std::minstd_rand random(seed);
    for (const KillJob& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.setup)
            row.setup();
        for (const Death& death : row.deaths) {
            SCOPED_TRACE(::testing::Message() << "death at step " << death.step << " of family " << death.family
                                              << ", its time " << death.occurrence);
            ChildProcess child(row.job, row.args, death, 0);
            ASSERT_EQ(kKilledExitCode, child.Wait(60000)) << "the job dies at its step";
            row.afterKill();
            RunToTheEnd(row);
            if (::testing::Test::HasFatalFailure())
                return;
        }
        // A run that ended before its kill shows the job is shorter than that
        // delay on this machine now: later kills come before it, and rounds
        // are added (a few) until one kill falls inside the job.
        int killed = 0;
        const int rounds = KillRounds();
        DWORD latest = row.maxKillMs;
        int round = 0;
        for (; round < rounds || (killed == 0 && round < rounds + 3); ++round) {
            const DWORD delay = row.minKillMs + (DWORD)(random() % (latest - row.minKillMs));
            SCOPED_TRACE(::testing::Message() << "round " << round << ", killed " << delay << " ms after the start");
            ChildProcess child(row.job, row.args, Death(), row.pauseMs);
            Sleep(delay);
            const bool inside = child.Running();
            killed += inside ? 1 : 0;
            if (!inside && delay > row.minKillMs)
                latest = delay;
            child.Kill();
            row.afterKill();
            if (::testing::Test::HasFatalFailure())
                return;
        }
        EXPECT_GT(killed, 0) << "no kill fell inside the job: all " << round << " runs ended first";
        RunToTheEnd(row);
    }
}

}  // namespace harness
