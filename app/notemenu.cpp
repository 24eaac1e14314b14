// The main patient window's global note and the template popup menu.
#include "app/notesnimok.h"

#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "ui/popupmenu.h"

#include <string>
#include <vector>

namespace {

const wchar_t kMenuSql[] = L"SELECT Txt, DiagHelp FROM DiagHelp ORDER BY Txt;";
const wchar_t kTemplateTextSql[] = L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=?;";
const wchar_t kWriteNoteSql[] = L"UPDATE Snimok SET Apicriz=?, DiagHelp=? WHERE Snimok=?;";
const wchar_t kMainWindowClass[] = L"Main patient window";

HWND gNoteOwner = nullptr;

HWND NoteOwner()
{
    if (gNoteOwner && IsWindow(gNoteOwner))
        return gNoteOwner;
    // The program's one main patient window (one instance of the program runs).
    return FindWindowW(kMainWindowClass, nullptr);
}

}  // namespace

NoteSnimokWnd& GlobalSnimokNote()
{
    static NoteSnimokWnd note;
    return note;
}

void SetSnimokNoteOwner(HWND owner)
{
    gNoteOwner = owner;
}

void ShowSnimokNote(DWORD imageKey, DWORD patientKey)
{
    NoteSnimokWnd& note = GlobalSnimokNote();
    if (note.GetHwnd())
        note.ChangeSnimok(imageKey, patientKey);
    else
        note.Create(NoteOwner(), false, imageKey, patientKey);
}

void CloseSnimokNote()
{
    GlobalSnimokNote().Destroy();
}

void SetNoteFromTemplateMenu(HWND owner, DWORD imageKey, int x, int y)
{
    // Called from the image panel's button: a database failure is shown here
    // rather than thrown through the button into the message loop.
    try {
        TemplateMenu(owner, imageKey, x, y);
    } catch (const DODBErrors& e) {
        e.ShowMessage(owner, nullptr, MB_OK | MB_ICONHAND);
    }
}

void TemplateMenu(HWND owner, DWORD imageKey, int x, int y)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    UINT command = 0;
    try {
        BoundStatement list(g_DbSession, kMenuSql);
        list.Execute();
        int items = 0;
        while (list.Next()) {
            wchar_t name[257];
            RowText(list.Row(), 0, name, 257);
            LONG key = 0;
            if (!RowInt(list.Row(), 1, &key) || key == 0)
                continue;
            AppendMenuW(menu, MF_STRING, (UINT)key, name);
            ++items;
        }
        if (items > 0)
            command = (UINT)TrackPopup(menu, TPM_RETURNCMD | TPM_VERTICAL | TPM_VCENTERALIGN, x, y, owner);
    } catch (...) {
        DestroyMenu(menu);
        throw;
    }
    DestroyMenu(menu);
    if (!command)
        return;

    BoundStatement text(g_DbSession, kTemplateTextSql);
    if (!text.Params().SetValI4(1, (LONG)command))
        ThrowDatabaseError();
    text.Execute();
    if (!text.Next())
        return;
    int length = 0;
    const wchar_t* body = RowTextPtr(text.Row(), 0, &length);
    const std::wstring templateText = body ? std::wstring(body, length) : std::wstring();

    BoundStatement write(g_DbSession, kWriteNoteSql);
    if (!write.Params().SetStr(1, templateText.c_str(), (int)templateText.size()) ||
        !write.Params().SetValI4(2, (LONG)command) || !write.Params().SetValI4(3, (LONG)imageKey))
        ThrowDatabaseError();
    write.Run();
}
