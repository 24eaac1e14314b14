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
        if (c == L'"')
            line->append(slashes * 2 + 1, L'\\');
        else
            line->append(slashes, L'\\');
        slashes = 0;
        *line += c;
    }
    line->append(slashes * 2, L'\\');
    *line += L'"';
}

unsigned KillSeed()
{
    static const unsigned seed = [] {
        wchar_t text[32];
        if (GetEnvironmentVariableW(L"TF_KILL_SEED", text, 32) > 0)
            return (unsigned)wcstoul(text, nullptr, 10);
        return (unsigned)(GetTickCount() ^ (GetCurrentProcessId() << 16));
    }();
    return seed;
}

}  // namespace

ChildJobEntry::ChildJobEntry(const wchar_t* name, ChildJob job)
{
    Jobs()[name] = job;
}

bool RunChildJobIfAsked(int argc, wchar_t** argv, int* exitCode)
{
    const size_t switchLength = wcslen(kChildSwitch);
    if (argc < 2 || wcsncmp(argv[1], kChildSwitch, switchLength) != 0)
        return false;
    const auto found = Jobs().find(argv[1] + switchLength);
    if (found == Jobs().end()) {
        fwprintf(stderr, L"no child job named %ls\n", argv[1] + switchLength);
        *exitCode = 99;
        return true;
    }
    *exitCode = found->second(std::vector<std::wstring>(argv + 2, argv + argc));
    return true;
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (process_)
        CloseHandle(process_);
}

bool ChildProcess::Start(const wchar_t* job, const std::vector<std::wstring>& args)
{
    Kill();
    if (process_)
        CloseHandle(process_);
    process_ = nullptr;
    wchar_t exe[MAX_PATH];
    if (!GetModuleFileNameW(nullptr, exe, MAX_PATH))
        return false;
    std::wstring line;
    AppendQuoted(&line, exe);
    line.erase(0, 1);   // no blank before the program: the runtime would read an empty argv[0]
    line += L' ';
    line += kChildSwitch;
    line += job;
    for (const std::wstring& arg : args)
        AppendQuoted(&line, arg);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

bool ChildProcess::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill()
{
    if (!Running())
        return;
    TerminateProcess(process_, kKilledExitCode);
    WaitForSingleObject(process_, 30000);
}

DWORD ChildProcess::Wait(DWORD milliseconds)
{
    if (!process_)
        return STILL_ACTIVE;
    if (WaitForSingleObject(process_, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    return code;
}

int KillRounds(int defaultRounds)
{
    wchar_t text[16];
    if (GetEnvironmentVariableW(L"TF_KILL_ROUNDS", text, 16) > 0) {
        const int rounds = _wtoi(text);
        if (rounds > 0)
            return rounds;
    }
    return defaultRounds;
}

KillLoopResult RunKillLoop(const wchar_t* job, const std::vector<std::wstring>& args, DWORD minDelayMs,
                           DWORD maxDelayMs, const std::function<void(int round)>& afterKill, DWORD finishTimeoutMs)
{
    KillLoopResult result;
    const unsigned seed = KillSeed();
    SCOPED_TRACE(::testing::Message() << "kill delays from TF_KILL_SEED=" << seed);
    std::minstd_rand random(seed);
    const DWORD span = maxDelayMs > minDelayMs ? maxDelayMs - minDelayMs : 1;
    const int rounds = KillRounds();
    for (int round = 0; round < rounds; ++round) {
        const DWORD delay = minDelayMs + (DWORD)(random() % span);
        SCOPED_TRACE(::testing::Message() << "round " << round << ", killed " << delay << " ms after the start");
        ChildProcess child;
        if (!child.Start(job, args)) {
            ADD_FAILURE() << "the child job cannot start: error " << GetLastError();
            return result;
        }
        Sleep(delay);
        if (child.Running())
            ++result.killed;
        else
            ++result.finishedEarly;
        child.Kill();
        afterKill(round);
        if (::testing::Test::HasFatalFailure())
            return result;
    }
    ChildProcess last;
    if (!last.Start(job, args)) {
        ADD_FAILURE() << "the child job cannot start: error " << GetLastError();
        return result;
    }
    result.finalExitCode = last.Wait(finishTimeoutMs);
    return result;
}

}  // namespace harness
