// The merge worker: see importworker.h.
#include "exchange/merge/importworker.h"

#include "database/dberrors.h"
#include "exchange/merge/importengine.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"

#include <objbase.h>

#include <vector>

namespace {

const wchar_t kErrorCaption[] = L"Err";
const wchar_t kShortError[] = L"Ошибка";

// Waits for the window's command; runs the merge on a start. A failed wait
// ends the run as it is.
void TakeCommand(DThreadChannel* channel, ImportDBCls& engine)
{
    for (;;) {
        DThreadChannel::Request request = {};
        if (channel->Receive(&request, INFINITE) != 0)
            return;
        if (request.command == kImportCommandStart) {
            channel->Reply(1);
            engine.StartUnion();
            return;
        }
        if (request.command == kImportCommandStop) {
            channel->Reply(1);
            return;
        }
        channel->Reply(0);   // not a command of ours: wait for the next
    }
}

// The run: the engine from its Init to its end, its failures turned into
// its state and the link's texts. Returns the state.
int RunEngine(DThreadChannel* channel, IImportLink* link)
{
    ImportDBCls engine(channel, link);
    try {
        engine.Init();
        engine.Connect();
        TakeCommand(channel, engine);
    } catch (const DODBErrors& errors) {
        if (engine.GetState() != ImportDBCls::kStopped)
            engine.SetState(ImportDBCls::kFailed);
        const int length = errors.GetText(nullptr, 0);
        std::vector<wchar_t> text;
        try {
            text.resize((size_t)(length > 0 ? length : 0) + 1);
        } catch (...) {
            text.clear();
        }
        if (!text.empty()) {
            errors.GetText(text.data(), (int)text.size() - 1);
            std::wstring shown(text.data(), text.size() > 1000 ? 1000 : wcslen(text.data()));
            ShowPrompt(nullptr, shown.c_str(), kErrorCaption, MB_OK);
            link->SetText0(text.data(), -1);
        } else {
            link->SetText0(kShortError, -1);
        }
    } catch (const MsgExcept& message) {
        if (engine.GetState() != ImportDBCls::kStopped)
            engine.SetState(ImportDBCls::kFailed);
        std::vector<wchar_t> text((size_t)message.TextLength() + 1);
        message.GetText(text.data(), (int)text.size());
        link->SetText0(text.data(), -1);
        if (message.CaptionLength() > 0) {
            std::vector<wchar_t> caption((size_t)message.CaptionLength() + 1);
            message.GetCaption(caption.data(), (int)caption.size());
            link->SetText1(caption.data(), -1);
        }
    } catch (...) {
        // Whatever it was, the run did not end well: never reported as success.
        if (engine.GetState() != ImportDBCls::kStopped)
            engine.SetState(ImportDBCls::kFailed);
        link->SetText0(kShortError, -1);
    }
    return engine.GetState();
}

}  // namespace

DWORD WINAPI ImportThreadProc(void* startBlock)
{
    const ImportStartBlock start = *static_cast<ImportStartBlock*>(startBlock);
    SetThreadLocale(start.locale);
    SetThreadUILanguage(start.language);
    start.channel->SetOpen();
    SetEvent(start.started);   // the block may go now

    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const int state = RunEngine(start.channel, start.link);   // the engine is gone when it returns
    if (SUCCEEDED(com))
        CoUninitialize();

    start.channel->SetClosed();
    start.link->SetFinished();
    DThreadChannel::Request request = {};
    while (start.channel->Receive(&request, 0) == 0)
        start.channel->Reply(0);
    return (DWORD)state;
}

HANDLE StartImportThread(DThreadChannel* channel, IImportLink* link)
{
    ImportStartBlock start = {CreateEventW(nullptr, TRUE, FALSE, nullptr), channel, link, GetThreadUILanguage(),
                              GetThreadLocale()};
    if (!start.started)
        return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, ImportThreadProc, &start, 0, nullptr);
    if (thread && WaitForSingleObject(start.started, INFINITE) != WAIT_OBJECT_0) {
        // It never took its block: it has done nothing that stopping could harm.
        TerminateThread(thread, (DWORD)-1);
        CloseHandle(thread);
        thread = nullptr;
    }
    CloseHandle(start.started);
    return thread;
}
