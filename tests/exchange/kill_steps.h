// Death at a chosen step, for the crash tests of the jobs that save new images
// (the merge, the viewer's save, the import): a child process (common/
// child_jobs.h) installs it from its arguments, and ends itself with
// TerminateProcess when the save or the merge reaches the step for the n-th
// time, as a power cut there would. Every step may also be slowed by a pause,
// so that the random kills of a kill loop land inside the job.
#pragma once

#include "common/child_jobs.h"
#include "exchange/merge/mergefaults.h"
#include "images/files/savefaults.h"

#include <windows.h>

#include <string>
#include <vector>

namespace killsteps {

// Where to die: a step of the merge or of the save, at its n-th time.
enum class Kind { None = 0, Merge = 1, Save = 2 };

struct Death {
    Kind kind = Kind::None;
    int step = 0;            // a MergeStep or a SaveStep
    int occurrence = 1;
    DWORD pauseMs = 0;       // slept at every step of both
};

// The three arguments a child reads back with Install.
inline std::vector<std::wstring> Arguments(const Death& death)
{
    return {std::to_wstring((int)death.kind) + L":" + std::to_wstring(death.step) + L":" +
                std::to_wstring(death.occurrence),
            std::to_wstring(death.pauseMs)};
}

namespace detail {

inline Death& Current()
{
    static Death death;
    return death;
}

inline void Reached(Kind kind, int step)
{
    Death& death = Current();
    if (death.pauseMs)
        Sleep(death.pauseMs);
    if (death.kind == kind && death.step == step && --death.occurrence == 0)
        TerminateProcess(GetCurrentProcess(), harness::ChildProcess::kKilledExitCode);
}

inline void OnMergeStep(MergeStep step, void*)
{
    Reached(Kind::Merge, (int)step);
}

inline void OnSaveStep(SaveStep step, void*)
{
    Reached(Kind::Save, (int)step);
}

}  // namespace detail

// In the child: takes the two arguments at `first` and installs the observers.
inline void Install(const std::vector<std::wstring>& args, size_t first)
{
    Death& death = detail::Current();
    if (args.size() >= first + 2) {
        int kind = 0, step = 0, occurrence = 1;
        swscanf(args[first].c_str(), L"%d:%d:%d", &kind, &step, &occurrence);
        death.kind = (Kind)kind;
        death.step = step;
        death.occurrence = occurrence;
        death.pauseMs = (DWORD)_wtoi(args[first + 1].c_str());
    }
    SetMergeStepObserver(detail::OnMergeStep, nullptr);
    SetSaveStepObserver(detail::OnSaveStep, nullptr);
}

}  // namespace killsteps
