// The control library as a whole: its shared font, its rows of the start-up
// initialization table, and the settings broadcast.
#pragma once

#include "ui/msg_shapes.h"

#include <windows.h>

// The private message of the settings broadcast; wParam is a FontChangeNotice*.
// Its handlers take the notice: void OnSettingChange(WPARAM notice).
constexpr UINT WM_FONTCHANGED_APP = WM_APP + 1;   // 0x8001
template <>
struct MsgCrack::PrivateShape<WM_FONTCHANGED_APP> : MsgCrack::ShapeIs<MsgCrack::E> {};

// The record of the broadcast. It lives on the sender's stack and is valid
// while the receivers run (the broadcast is sent, not posted).
struct FontChangeNotice {
    wchar_t name[256];   // the registry subkey of the font: "Button", "ListView", ...
    DWORD kind;          // 0: a font
    DWORD one;           // always 1
    DWORD dataSize;      // 92, the size of the LOGFONTW
    LOGFONTW font;
};
static_assert(sizeof(LOGFONTW) == 92, "the stored LOGFONTW is 92 bytes");

// The small text font of the up-down control and several tool bars.
extern HFONT ControlFont;
// The user's list-view font, filled by the settings loader.
extern LOGFONTW ControlLogFont;

namespace DControl {
// Creates ControlFont (Cyrillic TrueType, default size); true even when the
// font cannot be made (the controls then draw with their DC's font).
bool InitFont();
void FreeFont();
}  // namespace DControl

// Tells every top-level window of this program, on every thread, that the
// font stored under `name` changed to `font`: sends WM_FONTCHANGED_APP with a
// FontChangeNotice to each in turn, waiting up to 1000 ms for each. Names of
// 256 units or more are cut to 255. Windows of other programs are not told:
// the record's address means nothing outside this process.
void BroadcastFontChange(const wchar_t* name, const LOGFONTW& font);
