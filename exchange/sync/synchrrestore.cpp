// Step 6 of the synchronisation: image files that only the archive-disk
// scans found (Snimok_dif rows with an archive disk and no hard-disk copy)
// and that no row names are read from their archive disk and put back, as
// the hard-disk files are in step 5. The worker asks the user for each disk
// in turn (dialog 268, modal to the synchronisation window, on the worker's
// thread) and checks the inserted disk by its serial.
//
// The dialog is a prompt like any other: when a prompt hook is installed
// (tests, unattended runs) the hook answers it instead, with the prompt's
// text, the caption "Сообщение" and MB_ABORTRETRYIGNORE; IDABORT stands for
// "Прервать", IDIGNORE for "Игнорировать", IDRETRY (or IDOK) for
// "Продолжить" (IDCANCEL, a prompt closed, as "Прервать"), and kDiskPromptEject for "Извлечь МО" (the disk is ejected
// and the prompt asked again).
#include "exchange/sync/synchrrestore.h"

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange/sync/syncformat.h"
#include "exchange/sync/syncsql.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "ui/dialogtexts.h"

#include <cwchar>

namespace {

const INT_PTR kDialogAbort = 3;
const INT_PTR kDialogContinue = 4;
const INT_PTR kDialogIgnore = 5;

// The prompt slots: what the dialog procedure shows and whom "Извлечь МО"
// tells. Set before each dialog, on the worker's thread that runs it.
thread_local const wchar_t* tPromptText = nullptr;
thread_local ISyncProgress* tPromptProgress = nullptr;

INT_PTR AskDisk(HWND owner, const std::wstring& prompt, ISyncProgress* progress)
{
    tPromptText = prompt.c_str();
    tPromptProgress = progress;
    MessageBeep(0xFFFFFFFF);
    INT_PTR result;
    if (GetPromptHook()) {
        for (;;) {
            int answer;
            {
                SyncUserWait wait(progress);
                answer = ShowPrompt(owner, prompt.c_str(), L"Сообщение", MB_ABORTRETRYIGNORE);
            }
            if (answer == kDiskPromptEject) {
                progress->SetFlag040();
                continue;
            }
            result = answer == IDABORT || answer == IDCANCEL ? kDialogAbort
                     : answer == IDIGNORE                       ? kDialogIgnore
                                                                : kDialogContinue;
            break;
        }
    } else {
        SyncUserWait wait(progress);
        result = DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_INSERT_DISK), owner,
                                 GuardedDialogProc<InsertDiskDlgProc>, 0);
    }
    tPromptText = nullptr;
    tPromptProgress = nullptr;
    return result;
}

}  // namespace

INT_PTR CALLBACK InsertDiskDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetDlgItemTextW(dialog, IDC_INSERT_PROMPT, tPromptText ? tPromptText : L"");
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_INSERT_ABORT:
        EndDialog(dialog, kDialogAbort);
        return TRUE;
    case IDC_INSERT_IGNORE:
        EndDialog(dialog, kDialogIgnore);
        return TRUE;
    case IDC_INSERT_CONTINUE:
        EndDialog(dialog, kDialogContinue);
        return TRUE;
    case IDC_INSERT_EJECT:
        if (tPromptProgress) {
            // The report takes the window's lock: not as a wait for the user.
            tPromptProgress->EndUserWait();
            tPromptProgress->SetFlag040();
            tPromptProgress->BeginUserWait();
        }
        return TRUE;
    case IDCANCEL:   // the close box: as "Прервать"
        EndDialog(dialog, kDialogAbort);
        return TRUE;
    default:
        return FALSE;
    }
}

std::wstring InsertDiskPrompt(const wchar_t* label, DWORD serial)
{
    const std::wstring disk = DiskNameWithSerial(label, serial);
    return syncfmt::Format(L"Вставте диск: %1\nи нажмите кнопку Продолжить\n\nкн \"Прервать\"- выход из "
                           L"программы\nкн \"Игнорировать\"- игнорировать диск %1",
                           {reinterpret_cast<DWORD_PTR>(disk.c_str())});
}

bool SynchrThread::RestoreArchiveImages()
{
    RemovableDrive drive;
    drive.SetLetter(archivePath_);
    const std::vector<WorkItem> items = LoadWorkList(syncsql::kFillArchiveWorkList);
    DWORD ignored = 0;
    for (const WorkItem& item : items) {
        try {
            CheckCommand(0);
        } catch (int code) {
            if (code == 1) {
                SetResult(kSyncResultStopped);
                FormatWin32Error(L"Процедура прервана пользователем.", 0, nullptr);
            }
            FormatWin32Error(L"Ошибка ожидания команды.", 0, nullptr);
        }
        const DWORD serial = KeyToSerial(item.arj);
        if (!serial || serial == ignored)
            continue;
        for (bool askForDisk = drive.GetSerial() != serial;; askForDisk = true) {
            if (askForDisk) {
                const int answer = AskForArchiveDisk(serial, drive);
                if (answer == 0)
                    return true;
                if (answer == 2) {
                    ignored = serial;
                    break;
                }
            }
            // False when the disk left the drive meanwhile: it is asked for
            // again, and then this file again.
            if (RestoreOne(archivePath_, item, 0, &drive))
                break;
        }
    }
    return true;
}

int SynchrThread::AskForArchiveDisk(DWORD serial, RemovableDrive& drive)
{
    wchar_t label[32] = L"";
    {
        BoundStatement query(session_, syncsql::kArjTmpName);
        query.Params().SetValI4(1, SerialToKey(serial));
        if (!query.First())
            FormatWin32Error(L"В таблице Arj_tmp нет диска\nс заданным сер. номером.", 0, nullptr);
        RowText(query.Row(), 0, label, 32);
    }
    LONG registered = 0;
    {
        BoundStatement query(session_, syncsql::kArjRegistered);
        query.Params().SetValI4(1, SerialToKey(serial));
        if (query.First())
            RowInt(query.Row(), 0, &registered);
    }
    const HWND owner = progress_->GetOwnerWindow();
    const std::wstring prompt = InsertDiskPrompt(label, serial);
    for (;;) {
        const INT_PTR answer = AskDisk(owner, prompt, progress_);
        if (answer == kDialogAbort)
            return 0;
        if (answer == kDialogIgnore)
            return 2;
        if (!drive.Query())
            continue;
        if (drive.GetSerial() == serial)
            break;
        Ask(owner, L"Не соответствует серийный номер\nВставте другой диск.", nullptr, MB_OK);
    }
    if (registered)
        return 1;
    // A disk of Arj_tmp that Arj does not know (Arj changed after step 2):
    // registered on the user's word, else the command ends.
    if (Ask(nullptr, L"Данный диск не зарегистрирован в БД\nЗарегистрировать диск?", nullptr,
                   MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        FormatWin32Error(L"Диск не зарегистрирован в БД.", 0, nullptr);
    BoundStatement insert(session_, syncsql::kRegisterArj);
    insert.Params().SetValI4(1, SerialToKey(serial));
    insert.Params().SetStr(2, label, static_cast<int>(wcslen(label)));
    insert.Run();
    return 1;
}
