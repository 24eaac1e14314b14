// What the note window and the template editor share: texts, the command
// buttons, and the guarded commands.
#pragma once

#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "ui/button.h"

#include <windows.h>

#include <string>

namespace notes {

using ::LoadText;
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

// The characters of a description or a template text that the database
// layer stores and reads back whole: a long text is bound with 65,536 bytes
// of value room beside its terminator. The edit fields take no more than this.
constexpr int kLongTextChars = (int)(kDODBMaxBindBytes / sizeof(wchar_t));
// The characters a bound text parameter holds: its value room less the
// terminator's slot.
int TextRoom(DODBParams* block, ULONG index);
// A text longer than the room is refused with a message (nothing is cut):
// true when refused.
bool RefuseTooLong(HWND owner, const std::wstring& text, int room, const wchar_t* caption);
// The row's text column into the edit field (empty for NULL).
void SetEditFromRow(HWND edit, DODBParams* row, ULONG column);

}  // namespace notes
