// The argument shape of every standard message that a handler table may hold.
//
// One list (MSG_SHAPES) assigns each message below 1024 a shape: which
// arguments its handler receives and whether the window procedure returns the
// handler's result. Both unpacking tables (MsgCrack::Member, with the object
// first, and MsgCrack::Static, without) are derived from it, and so is the
// compile-time check that a handler put into a table has the signature its
// message calls. A message without a shape can have no handler.
#pragma once

#include <windows.h>

// Shapes (object arguments omitted):
//   A ()                     -> 0          B ()                     -> result
//   C (wParam, lParam)       -> 0          D (wParam, lParam)       -> result
//   E (wParam)               -> 0          F (lParam)               -> 0
//   G (wParam)               -> result     H (lParam)               -> result
//   I (x, y signed; wParam)  -> 0          J (wParam, lParam) keys  -> 0
//   K (hwnd, lParam)         -> result     L (LO, HI wParam; lParam)-> result
//   M (LO, HI lParam signed) -> result     N (LO, HI lParam signed) -> 0
//   O (wParam; LO, HI lParam signed) -> result
//   P (LO, HI wParam signed) -> result
//   Q (LO, HI wParam signed; lParam) -> result
//   R (LO, HI wParam signed; lParam) -> 0
#define MSG_SHAPES(V)                                                                                              \
    V(WM_DESTROY, A) V(WM_PAINT, A) V(WM_CLOSE, A) V(WM_QUERYOPEN, A) V(WM_SYSCOLORCHANGE, A) V(WM_FONTCHANGE, A)  \
    V(WM_TIMECHANGE, A) V(WM_CANCELMODE, A) V(WM_CHILDACTIVATE, A) V(WM_QUEUESYNC, A) V(WM_PAINTICON, A)          \
    V(WM_GETFONT, A) V(WM_GETHOTKEY, A) V(WM_USERCHANGED, A) V(WM_NCDESTROY, A) V(WM_IME_STARTCOMPOSITION, A)      \
    V(WM_IME_ENDCOMPOSITION, A) V(WM_MDIICONARRANGE, A) V(WM_ENTERSIZEMOVE, A) V(WM_EXITSIZEMOVE, A)              \
    V(WM_IME_COMPOSITIONFULL, A) V(WM_MOUSELEAVE, A)                                                               \
    V(WM_GETTEXTLENGTH, B) V(WM_QUERYDRAGICON, B) V(WM_POWER, B) V(WM_CANCELJOURNAL, B) V(WM_MDIREFRESHMENU, B)    \
    V(WM_ACTIVATE, C) V(WM_ENDSESSION, C) V(WM_SHOWWINDOW, C) V(WM_SETTINGCHANGE, C) V(WM_ACTIVATEAPP, C)          \
    V(WM_NEXTDLGCTL, C) V(WM_SPOOLERSTATUS, C) V(WM_SETFONT, C) V(WM_TCARD, C) V(WM_STYLECHANGING, C)             \
    V(WM_STYLECHANGED, C) V(WM_TIMER, C) V(WM_ENTERIDLE, C) V(WM_MOUSEWHEEL, C) V(WM_NEXTMENU, C)                 \
    V(WM_MDIACTIVATE, C) V(WM_MDINEXT, C) V(WM_IME_SELECT, C) V(WM_IME_CHAR, C)                                    \
    V(WM_GETTEXT, D) V(WM_QUERYENDSESSION, D) V(WM_DRAWITEM, D) V(WM_MEASUREITEM, D) V(WM_COMPAREITEM, D)          \
    V(WM_COPYDATA, D) V(WM_NOTIFY, D) V(WM_INPUTLANGCHANGEREQUEST, D) V(WM_INPUTLANGCHANGE, D)                    \
    V(WM_NOTIFYFORMAT, D) V(WM_SETICON, D) V(WM_NCCALCSIZE, D) V(WM_INITDIALOG, D) V(WM_CTLCOLOREDIT, D)           \
    V(WM_CTLCOLORLISTBOX, D) V(WM_CTLCOLORBTN, D) V(WM_CTLCOLORDLG, D) V(WM_CTLCOLORSCROLLBAR, D)                  \
    V(WM_CTLCOLORSTATIC, D) V(WM_SIZING, D) V(WM_MOVING, D) V(WM_POWERBROADCAST, D) V(WM_DEVICECHANGE, D)         \
    V(WM_MDISETMENU, D) V(WM_IME_SETCONTEXT, D) V(WM_IME_NOTIFY, D) V(WM_IME_CONTROL, D) V(WM_IME_REQUEST, D)     \
    V(WM_SETFOCUS, E) V(WM_KILLFOCUS, E) V(WM_ENABLE, E) V(WM_SETREDRAW, E) V(WM_QUIT, E) V(WM_ICONERASEBKGND, E)  \
    V(WM_COMPACTING, E) V(WM_NCPAINT, E) V(WM_INITMENU, E) V(WM_ENTERMENULOOP, E) V(WM_EXITMENULOOP, E)           \
    V(WM_MDIDESTROY, E) V(WM_MDIRESTORE, E) V(WM_MDIMAXIMIZE, E) V(WM_DROPFILES, E)                                \
    V(WM_DEVMODECHANGE, F) V(WM_GETMINMAXINFO, F) V(WM_WINDOWPOSCHANGING, F) V(WM_WINDOWPOSCHANGED, F)            \
    V(WM_GETDLGCODE, F) V(WM_CAPTURECHANGED, F)                                                                    \
    V(WM_ERASEBKGND, G) V(WM_SETHOTKEY, G) V(WM_GETICON, G) V(WM_NCACTIVATE, G) V(WM_MDITILE, G)                  \
    V(WM_MDICASCADE, G)                                                                                            \
    V(WM_SETTEXT, H) V(WM_HELP, H) V(WM_MDICREATE, H) V(WM_MDIGETACTIVE, H)                                        \
    V(WM_SIZE, I) V(WM_SETCURSOR, I) V(WM_CONTEXTMENU, I) V(WM_DISPLAYCHANGE, I) V(WM_NCMOUSEMOVE, I)              \
    V(WM_NCLBUTTONDOWN, I) V(WM_NCLBUTTONUP, I) V(WM_NCLBUTTONDBLCLK, I) V(WM_NCRBUTTONDOWN, I)                   \
    V(WM_NCRBUTTONUP, I) V(WM_NCRBUTTONDBLCLK, I) V(WM_NCMBUTTONDOWN, I) V(WM_NCMBUTTONUP, I)                     \
    V(WM_NCMBUTTONDBLCLK, I) V(WM_INITMENUPOPUP, I) V(WM_MOUSEMOVE, I) V(WM_LBUTTONDOWN, I) V(WM_LBUTTONUP, I)    \
    V(WM_LBUTTONDBLCLK, I) V(WM_RBUTTONDOWN, I) V(WM_RBUTTONUP, I) V(WM_RBUTTONDBLCLK, I) V(WM_MBUTTONDOWN, I)    \
    V(WM_MBUTTONUP, I) V(WM_MBUTTONDBLCLK, I)                                                                      \
    V(WM_KEYDOWN, J) V(WM_KEYUP, J) V(WM_CHAR, J) V(WM_DEADCHAR, J) V(WM_SYSKEYDOWN, J) V(WM_SYSKEYUP, J)          \
    V(WM_SYSCHAR, J) V(WM_SYSDEADCHAR, J) V(WM_IME_COMPOSITION, J) V(WM_IME_KEYDOWN, J) V(WM_IME_KEYUP, J)         \
    V(WM_CREATE, K) V(WM_NCCREATE, K)                                                                              \
    V(WM_COMMAND, L)                                                                                               \
    V(WM_NCHITTEST, M)                                                                                             \
    V(WM_MOVE, N)                                                                                                  \
    V(WM_MOUSEACTIVATE, O) V(WM_SYSCOMMAND, O)                                                                     \
    V(WM_DELETEITEM, P)                                                                                            \
    V(WM_VKEYTOITEM, Q) V(WM_CHARTOITEM, Q) V(WM_MENUCHAR, Q)                                                      \
    V(WM_HSCROLL, R) V(WM_VSCROLL, R) V(WM_MENUSELECT, R) V(WM_PARENTNOTIFY, R)

// The clipboard and palette range 0x2F4 to 0x308 takes the most general shape,
// D: every argument in, the handler's result out. No window of the program
// handles any of these messages.
#define MSG_SHAPE_RANGE_FIRST 0x2F4
#define MSG_SHAPE_RANGE_LAST 0x308

namespace MsgCrack {

enum Shape { kNoShape, A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, kShapeCount };

constexpr Shape ShapeOf(UINT message)
{
    switch (message) {
#define MSG_SHAPE_CASE(msg, shape) \
    case msg:                      \
        return shape;
        MSG_SHAPES(MSG_SHAPE_CASE)
#undef MSG_SHAPE_CASE
    default:
        return message >= MSG_SHAPE_RANGE_FIRST && message <= MSG_SHAPE_RANGE_LAST ? D : kNoShape;
    }
}

// Private messages (from WM_APP on) take a shape too, declared beside the
// message's number by the part of the program that owns it:
//     constexpr UINT WM_FONTCHANGED_APP = WM_APP + 1;
//     template <> struct MsgCrack::PrivateShape<WM_FONTCHANGED_APP> : MsgCrack::ShapeIs<MsgCrack::E> {};
// so that their handlers, like every other, have one signature in every map
// and table of the program.
template <Shape S>
struct ShapeIs {
    static constexpr Shape value = S;
};
template <UINT Message>
struct PrivateShape : ShapeIs<kNoShape> {};

// The shape of any message a handler may be written for.
template <UINT Message>
constexpr Shape MessageShape()
{
    return Message < 1024 ? ShapeOf(Message) : PrivateShape<Message>::value;
}

// The number of messages the list names (without the range).
constexpr int kListedMessages = 0
#define MSG_SHAPE_COUNT(msg, shape) +1
    MSG_SHAPES(MSG_SHAPE_COUNT)
#undef MSG_SHAPE_COUNT
    ;

}  // namespace MsgCrack
