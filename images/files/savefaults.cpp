#include "images/files/savefaults.h"

namespace {

struct Injection {
    SaveStep step;
    DWORD code;
    int skip;
};

thread_local Injection gInjection = {SaveStep::None, 0, 0};

// Set by crash tests before any save runs; read by every saving thread.
SaveStepObserver volatile gObserver = nullptr;
void* volatile gObserverContext = nullptr;

}  // namespace

void InjectSaveFailure(SaveStep step, DWORD code, int skip)
{
    gInjection.step = step;
    gInjection.code = code;
    gInjection.skip = skip < 0 ? 0 : skip;
}

void SetSaveStepObserver(SaveStepObserver observer, void* context)
{
    gObserverContext = context;
    gObserver = observer;
}

bool SaveStepFails(SaveStep step, DWORD* code)
{
    if (SaveStepObserver observer = gObserver)
        observer(step, gObserverContext);
    if (gInjection.step == SaveStep::None || gInjection.step != step)
        return false;
    if (gInjection.skip > 0) {
        --gInjection.skip;
        return false;
    }
    gInjection.step = SaveStep::None;
    if (code)
        *code = gInjection.code;
    SetLastError(gInjection.code);
    return true;
}
