// The worker's frame: the thread procedure, the commands, the tables of the
// scans and the helpers every step uses. See synchrthread.h.
#include "exchange/sync/synchrthread.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/syncsql.h"
#include "exchange/sync/synctables.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"

#include <objbase.h>

#include <cwchar>
#include <vector>

namespace syncfmt {

std::wstring Format(const wchar_t* format, std::initializer_list<DWORD_PTR> inserts)
{
    // "%N" inserts text N, "%N!u!" number N; the texts' own line breaks stay
    // as they are (FormatMessageW would turn them into CR LF).
    const std::vector<DWORD_PTR> args(inserts);
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        if (p[0] != L'%' || p[1] < L'1' || p[1] > L'9') {
            out.push_back(*p);
            continue;
        }
        const size_t index = static_cast<size_t>(p[1] - L'1');
        const DWORD_PTR value = index < args.size() ? args[index] : 0;
        ++p;
        if (wcsncmp(p + 1, L"!u!", 3) == 0) {
            out += std::to_wstring(static_cast<unsigned long>(value));
            p += 3;
        } else if (value) {
            out += reinterpret_cast<const wchar_t*>(value);
        }
    }
    return out;
}

std::wstring SystemText(DWORD code)
{
    // The system's text, or the code itself where the system has none: a box
    // of the synchronisation never stands empty.
    std::wstring out = ErrorCodeText(code);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' '))
        out.pop_back();
    return out;
}

}  // namespace syncfmt

namespace {

const wchar_t kExceptionText[] = L"Исключение функции: SynchrDB";
const wchar_t kStoppedText[] = L"Выполнение процедуры прервано пользователем";
const wchar_t kFailedText[] = L"Ошибка";

void CopyFolder(wchar_t* out, const wchar_t* in)
{
    out[0] = 0;
    if (in) {
        wcsncpy(out, in, kFolderChars - 1);
        out[kFolderChars - 1] = 0;
    }
}

}  // namespace

std::wstring FileNameKey(const wchar_t* name, int length)
{
    std::wstring key = length < 0 ? std::wstring(name) : std::wstring(name, static_cast<size_t>(length));
    while (!key.empty() && key.back() == L' ')   // nchar columns may come back padded
        key.pop_back();
    if (!key.empty())
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

DWORD WINAPI SynchrThreadProc(void* param)
{
    SyncStartRecord* start = static_cast<SyncStartRecord*>(param);
    if (start->language) {
        SetThreadUILanguage(start->language);
        SetThreadLocale(start->locale);
    }
    SynchrThread worker(*start);
    SetEvent(start->startEvent);
    ISyncProgress* progress = worker.Progress();
    try {
        worker.Run();
    } catch (const DODBErrors& e) {
        worker.SetResult(kSyncResultFailed);
        const int length = e.GetText(nullptr, 0);
        std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
        const int copied = e.GetText(text.data(), length);
        progress->SetText1(text.data(), copied);
    } catch (const MsgExcept& m) {
        if (worker.Result() != kSyncResultStopped)
            worker.SetResult(kSyncResultFailed);
        std::vector<wchar_t> text(static_cast<size_t>(m.TextLength()) + 1);
        progress->SetText1(text.data(), m.GetText(text.data(), static_cast<int>(text.size())));
        if (m.CaptionLength() > 0) {
            std::vector<wchar_t> caption(static_cast<size_t>(m.CaptionLength()) + 1);
            progress->SetText2(caption.data(), m.GetCaption(caption.data(), static_cast<int>(caption.size())));
        }
    } catch (int code) {
        // A stop of the user ends every command as "stopped by the user".
        if (code == 1) {
            worker.SetResult(kSyncResultStopped);
            progress->SetText1(kStoppedText, -1);
        } else {
            worker.SetResult(kSyncResultFailed);
            progress->SetText1(kExceptionText, -1);
        }
    } catch (...) {
        worker.SetResult(kSyncResultFailed);
        progress->SetText1(kExceptionText, -1);
    }
    const DWORD result = worker.Result();
    worker.DrainCommands();
    return result;
}

SynchrThread::SynchrThread(const SyncStartRecord& start)
    : progress_(start.progress), commands_(start.commands)
{
    CopyFolder(imageFolder_, ImageFolder);
    CopyFolder(databasePath_, start.databasePath);
    CopyFolder(archivePath_, start.archivePath);
    ClearRecords();
}

SynchrThread::~SynchrThread()
{
    insertSession_.Release();
    session_.Release();
    picture_.Reset();
    if (comInitialized_)
        CoUninitialize();
}

void SynchrThread::OpenSession()
{
    if (session_.IsSet())
        return;
    if (!g_DbSource.IsSet()) {
        DODBSetError(E_FAIL, 0, L"SynchrThread::OpenSession");
        ThrowDatabaseError(E_FAIL);
    }
    const HRESULT hr = g_DbSource->CreateSession(session_);
    if (FAILED(hr))
        ThrowDatabaseError(hr);
}

void SynchrThread::Run()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        Ask(nullptr, L"Ошибка CoInitializeEx", nullptr, MB_OK);
        FormatWin32Error(L"Ошибка CoInitializeEx", 0, nullptr);
    }
    comInitialized_ = true;
    OpenSession();
    if (commands_ & kSyncScanHdd)
        RunScanHdd();
    if (commands_ & kSyncScanMo)
        RunScanMo();
    if (commands_ & kSyncDatabase)
        SynchrDB();
}

void SynchrThread::RunScanHdd()
{
    CreateTmpTables();
    ScanHdd(imageFolder_);
}

void SynchrThread::RunScanMo()
{
    CreateTmpTables();
    ScanMoDisk();
}

bool SynchrThread::TableExists(const wchar_t* name)
{
    return SyncTableExists(session_, name);
}

bool SynchrThread::CreateTmpTables()
{
    struct Table {
        const wchar_t* name;
        const wchar_t* create;
        const wchar_t* index;
    };
    static const Table kTables[] = {
        {L"Arj_tmp", syncsql::kCreateArjTmp, nullptr},
        {L"Patient_tmp", syncsql::kCreatePatientTmp, nullptr},
        {L"Snimok_tmp", syncsql::kCreateSnimokTmp, syncsql::kCreateSnimokTmpIndex},
    };
    for (const Table& table : kTables) {
        if (TableExists(table.name))
            continue;
        BoundStatement(session_, table.create).Run();
        if (table.index)
            BoundStatement(session_, table.index).Run();
    }
    return true;
}

void SynchrThread::CheckCommand(DWORD timeout)
{
    progress_->WaitCommand(timeout);
}

int SynchrThread::Ask(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    SyncUserWait wait(progress_);
    return ShowPrompt(owner, text, caption, flags);
}

void SynchrThread::ShowDbError(const DODBErrors& error)
{
    wchar_t text[2048] = {};
    error.GetText(text, 1000);
    Ask(nullptr, text, L"Error", MB_OK);
}

void SynchrThread::FormatWin32Error(const wchar_t* text, DWORD code, const wchar_t* caption)
{
    std::wstring message;
    if (text && code)
        message = syncfmt::Format(L"%1\nError Win32(%2!u!)\n%3",
                                  {reinterpret_cast<DWORD_PTR>(text), code,
                                   reinterpret_cast<DWORD_PTR>(syncfmt::SystemText(code).c_str())});
    else if (text)
        message = text;
    else if (code)
        message = syncfmt::Format(L"Error Win32(%1!u!)\n%2",
                                  {code, reinterpret_cast<DWORD_PTR>(syncfmt::SystemText(code).c_str())});
    else
        message = L"Нет сообщений";
    throw MsgExcept(caption, -1, message.c_str(), static_cast<int>(message.size()));
}

void SynchrThread::ClearRecords()
{
    memset(&image_, 0, sizeof image_);
    memset(&patient_, 0, sizeof patient_);
}
