#include "archive/workerbase.h"

#include "database/dberrors.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/prompt.h"
#include "resources/strings.h"

#include <objbase.h>

#include <cwchar>

std::wstring ArchiveText(UINT id)
{
    if (id == 0)
        return std::wstring();
    wchar_t text[256];
    const int n = LoadStringW(hInstance, id, text, 256);
    return std::wstring(text, n > 0 ? static_cast<size_t>(n) : 0);
}

namespace {

std::wstring FormatWith(const std::wstring& pattern, DWORD_PTR* args)
{
    wchar_t* out = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                       FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   pattern.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&out), 0,
                                   reinterpret_cast<va_list*>(args));
    std::wstring text = n && out ? std::wstring(out, n) : std::wstring();
    if (out)
        LocalFree(out);
    return text;
}

}  // namespace

std::wstring FormatArchiveText(UINT id, const wchar_t* insert1, const wchar_t* insert2, const wchar_t* insert3)
{
    DWORD_PTR args[3] = {reinterpret_cast<DWORD_PTR>(insert1 ? insert1 : L""),
                         reinterpret_cast<DWORD_PTR>(insert2 ? insert2 : L""),
                         reinterpret_cast<DWORD_PTR>(insert3 ? insert3 : L"")};
    return FormatWith(ArchiveText(id), args);
}

std::wstring SystemErrorText(DWORD error)
{
    wchar_t text[257] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 257,
                             nullptr);
    std::wstring out(text, n < 257 ? n : 256);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' '))
        out.pop_back();
    return out;
}

std::wstring WorkerBase::Win32ErrorText(DWORD error, const wchar_t* text)
{
    const std::wstring system = SystemErrorText(error);
    DWORD_PTR args[3] = {error, reinterpret_cast<DWORD_PTR>(system.c_str()),
                         reinterpret_cast<DWORD_PTR>(text ? text : L"")};
    return FormatWith(ArchiveText(IDS_WIN32_ERROR_REPORT), args);
}

WorkerBase::WorkerBase(const DODBPtr<DODBSource>& source)
{
    OpenSessionAndCommand(source);
}

WorkerBase::~WorkerBase()
{
    command_.Release();
    session_.Release();
}

void WorkerBase::InitCom()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        ReportErrorIds(IDS_COM_INIT_ERROR, 0, kReportFatal, 0);
        throw kStopByProgram;
    }
    comInitialized_ = true;   // stays initialised until the thread ends
}

int WorkerBase::OpenSession(const DODBPtr<DODBSource>& source)
{
    command_.Release();
    session_.Release();
    if (!source.IsSet())
        return 0;
    if (FAILED(source->CreateSession(session_)))
        session_.Release();
    return session_.IsSet() ? 1 : 0;
}

int WorkerBase::OpenSessionAndCommand(const DODBPtr<DODBSource>& source)
{
    if (!OpenSession(source))
        return 0;
    if (!session_->CreateCommand(command_))
        command_.Release();
    return IsOpen() ? 1 : 0;
}

int WorkerBase::CreateCommand(DODBPtr<DODBCommand>& command)
{
    command.Release();
    if (!session_.IsSet())
        return 0;
    if (!session_->CreateCommand(command)) {
        command.Release();
        return 0;
    }
    return 1;
}

int WorkerBase::ReportError(const wchar_t* text1, const wchar_t* text2, DWORD mode, DWORD error)
{
    if (!(mode & 0x8) && askHook_)
        askHook_(askContext_);
    if (!link_)
        return (mode & 0x8) ? kStepFatal : kStepAsked;
    link_->SetText2(text1 ? text1 : L"", -1);
    if (error == 0)
        link_->SetText(text2 ? text2 : L"", -1);
    else
        link_->SetText(Win32ErrorText(error, text2).c_str(), -1);
    if (mode & 0x8) {
        link_->NotifyBit20();
        return kStepFatal;
    }
    link_->AskContinue();
    return kStepAsked;
}

int WorkerBase::ReportErrorIds(UINT id1, UINT id2, DWORD mode, DWORD error)
{
    return ReportError(ArchiveText(id1).c_str(), ArchiveText(id2).c_str(), mode, error);
}

int WorkerBase::Prompt(const wchar_t* text, UINT flags)
{
    UserWaitScope<WorkerLink> wait(link_);
    return ShowPrompt(nullptr, text, nullptr, flags);
}

void WorkerBase::ReportDbError(const DODBErrors& error, bool endJob)
{
    DODBErrors copy(error);
    if (copy.RecordCount() == 0)
        copy.Collect();
    wchar_t text[1025] = L"";
    copy.GetText(text, 1024);
    LogError(static_cast<DWORD>(copy.Result()), text);
    result_ = -1;
    if (!link_)
        return;
    link_->SetText2(L"", -1);
    link_->SetText(text, -1);
    link_->NotifyBit20();
    if (endJob)
        link_->SetJobEnded();
}

void RunWorkerJob(WorkerBase& base, const std::function<void()>& run, UINT failureText)
{
    try {
        run();
    } catch (int) {
        base.SetResult(-1);
    } catch (const DODBErrors& error) {
        base.ReportDbError(error, false);
    } catch (...) {
        base.SetResult(-1);
        const std::wstring text = ArchiveText(failureText);
        LogError(0, text.c_str());
        base.ReportError(L"", text.c_str(), kReportFatal, 0);
        base.Prompt(text.c_str());
    }
}
