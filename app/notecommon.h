// What the note window and the template editor share: texts, the command
// buttons, and the guarded commands.
#pragma once

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "ui/button.h"

#include <windows.h>

#include <string>

namespace notes {

std::wstring LoadText(UINT id);
std::wstring WindowText(HWND window);

// Runs a command; its database errors and its user messages are shown
// over the owner as it is after the command (a command may close its
// window). False when the command threw.
template <class F> bool RunShowingErrors(const HWND& owner, F f)
{
    try {
        f();
        return true;
    } catch (const DODBErrors& e) {
        e.ShowMessage(owner, nullptr, MB_OK | MB_ICONHAND);
    } catch (const MsgExcept& message) {
        message.Show(owner, MB_OK | MB_ICONHAND);
    }
    return false;
}

// One command button with its caption and icon; false (the icon freed) when
// the button cannot be made.
bool CreateButton(DButton& button, HWND parent, void* cookie, UINT caption, UINT icon, DWORD style,
                  const DButtonInput* keys, const DButtonNotify* notify);
// A button row's height: half again the buttons' line, at least the icon's.
int ButtonHeight(const DButton* buttons, int count);
void SetMinTrackSize(LPARAM info, int buttonHeight);
// Takes a new "Button" font into the buttons; false for other fonts.
bool ApplyButtonFont(WPARAM notice, DButton* buttons, int count);

// A text longer than the room is refused with a message (nothing is cut):
// true when refused.
bool RefuseTooLong(HWND owner, const std::wstring& text, int room, const wchar_t* caption);
// The row's text column into the edit field (empty for NULL).
void SetEditFromRow(HWND edit, DODBParams* row, ULONG column);

}  // namespace notes
