// DWindow: the window base class with a message map.
//
// A class derived from DWindow lists the messages it handles in a static map
// of {message, cracker kind, handler}, ended by an empty entry. The map is
// sorted by message number once per process, at the first message of the
// class's first window (DWindow::FirstMessageProc); DWindow::WindowProc finds
// an entry by binary search (a linear scan while the map is unsorted) and
// hands the message to the cracker of the entry's kind, which unpacks wParam
// and lParam into the handler's arguments. Unhandled messages go to
// DefWindowProcW unchanged.
//
// Defining a map, in the class:
//     const DMessageMap* GetMessageMap() override { return &messageMap; }
//     static DMessageMap messageMap;
// and in its source file:
//     static DMessageMapEntry entries[] = {
//         MapMessage<WM_CREATE, &MyWnd::OnCreate>(),
//         MapMessage<WM_SIZE, &MyWnd::OnSize>(),
//         MapMessage<WM_FONTCHANGED_APP, &MyWnd::OnSettingChange>(),
//         DMapEnd(),
//     };
//     DMessageMap MyWnd::messageMap = {-1, 0, entries};
// Every message has one handler shape in the whole program, the one that
// its handler in a HandlerTable has too (msg_shapes.h, private messages
// included):
//     LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
//     void OnSize(int width, int height, WPARAM type);
//     void OnPaint();   // paints between BeginPaint and EndPaint (DPaintScope)
// MapMessage picks the cracker kind from the shape and checks the handler's
// signature at compile time. DMapEntry<kind> remains for a map that needs a
// kind by number.
//
// Life of the binding: the object's handle is set at the first message and
// cleared after WM_NCDESTROY, so an object never holds the handle of a window
// that no longer exists (a failed creation included). Destroying the object
// destroys its window; a derived class that handles WM_DESTROY must destroy
// the window in its own destructor, since the base destructor runs after the
// derived part (and its map) is gone.
#pragma once

#include "ui/handler_table.h"
#include "ui/window_create.h"

#include <type_traits>

class DWindow;

// A handler as stored in a map: a member function of the derived class,
// converted to this common type and back by the cracker of its kind.
typedef void (DWindow::*DMsgHandler)();

struct DMessageMapEntry {
    UINT message;
    int kind;               // 1 to 25, the index into MsgCrack::Map; 0 ends the map
    DMsgHandler handler;
};

struct DMessageMap {
    int count;              // -1 until counted and sorted, then the number of entries
    int reserved;           // always 0
    DMessageMapEntry* entries;
};

// What a map cracker receives.
struct MsgPacket {
    DWindow* object;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

namespace MsgCrack {

// Cracker kinds: 1 to 12 return 0 from the window procedure, 13 to 24 (the same
// argument shapes) the handler's result. "Halves" are LO and HI of a word,
// sign-extended from 16 bits ("Signed") or zero-extended.
enum Kind {
    kNone = 1,                  // ()
    kWParam,                    // (wParam)
    kLParam,                    // (lParam)
    kWLParam,                   // (wParam, lParam)
    kWHalvesSigned,             // (int LO(wParam), int HI(wParam))
    kWHalves,                   // (UINT, UINT)
    kLHalvesSigned,             // (int LO(lParam), int HI(lParam))
    kLHalves,                   // (UINT, UINT)
    kWHalvesSignedLParam,       // (int, int, lParam)
    kWHalvesLParam,             // (UINT, UINT, lParam)
    kWParamLHalvesSigned,       // (wParam, int, int)
    kWParamLHalves,             // (wParam, UINT, UINT)
    kNoneResult,
    kWParamResult,
    kLParamResult,
    kWLParamResult,
    kWHalvesSignedResult,
    kWHalvesResult,
    kLHalvesSignedResult,
    kLHalvesResult,
    kWHalvesSignedLParamResult,
    kWHalvesLParamResult,
    kWParamLHalvesSignedResult,
    kWParamLHalvesResult,
    kPaint,                     // (PAINTSTRUCT*) between BeginPaint and EndPaint; result
    kKindCount = kPaint
};

// The handler type of each kind, for a class T.
template <int K, class R> struct ArgShape;
template <class R> struct ArgShape<1, R> { template <class T> using Fn = R (T::*)(); };
template <class R> struct ArgShape<2, R> { template <class T> using Fn = R (T::*)(WPARAM); };
template <class R> struct ArgShape<3, R> { template <class T> using Fn = R (T::*)(LPARAM); };
template <class R> struct ArgShape<4, R> { template <class T> using Fn = R (T::*)(WPARAM, LPARAM); };
template <class R> struct ArgShape<5, R> { template <class T> using Fn = R (T::*)(int, int); };
template <class R> struct ArgShape<6, R> { template <class T> using Fn = R (T::*)(UINT, UINT); };
template <class R> struct ArgShape<7, R> { template <class T> using Fn = R (T::*)(int, int); };
template <class R> struct ArgShape<8, R> { template <class T> using Fn = R (T::*)(UINT, UINT); };
template <class R> struct ArgShape<9, R> { template <class T> using Fn = R (T::*)(int, int, LPARAM); };
template <class R> struct ArgShape<10, R> { template <class T> using Fn = R (T::*)(UINT, UINT, LPARAM); };
template <class R> struct ArgShape<11, R> { template <class T> using Fn = R (T::*)(WPARAM, int, int); };
template <class R> struct ArgShape<12, R> { template <class T> using Fn = R (T::*)(WPARAM, UINT, UINT); };

template <int K> struct KindSig {
    template <class T> using Fn = typename ArgShape<(K > 12 ? K - 12 : K), std::conditional_t<(K > 12), LRESULT, void>>::template Fn<T>;
};
template <> struct KindSig<kPaint> { template <class T> using Fn = LRESULT (T::*)(PAINTSTRUCT*); };

// The map crackers, indexed by kind (entry 0 unused).
typedef LRESULT (*MapCracker)(const MsgPacket& packet, DMsgHandler handler);
extern const MapCracker Map[kKindCount + 1];

}  // namespace MsgCrack

// A map entry whose handler has exactly the signature its kind calls.
template <int Kind, class T, class H>
DMessageMapEntry DMapEntry(UINT message, H T::*handler)
{
    static_assert(Kind >= 1 && Kind <= MsgCrack::kKindCount, "no such cracker kind");
    using Expected = typename MsgCrack::KindSig<Kind>::template Fn<T>;
    static_assert(std::is_same<H T::*, Expected>::value, "the handler's signature does not match its cracker kind");
    static_assert(std::is_base_of<DWindow, T>::value, "map handlers are members of DWindow classes");
    using BaseFn = typename MsgCrack::KindSig<Kind>::template Fn<DWindow>;
    return DMessageMapEntry{message, Kind, reinterpret_cast<DMsgHandler>(static_cast<BaseFn>(handler))};
}

inline DMessageMapEntry DMapEnd()
{
    return DMessageMapEntry{0, 0, nullptr};
}

namespace MsgCrack {

// The map kind that calls a handler of each message shape (msg_shapes.h)
// with exactly the shape's arguments; 0 for the two shapes no kind has (I
// and K), which MapMessage reaches through an adapter.
constexpr int kKindOfShape[kShapeCount] = {
    0,                            // kNoShape
    kNone,                        // A ()
    kNoneResult,                  // B () -> result
    kWLParam,                     // C (wParam, lParam)
    kWLParamResult,               // D (wParam, lParam) -> result
    kWParam,                      // E (wParam)
    kLParam,                      // F (lParam)
    kWParamResult,                // G (wParam) -> result
    kLParamResult,                // H (lParam) -> result
    0,                            // I (x, y, wParam): kWParamLHalvesSigned, reordered
    kWLParam,                     // J (wParam, lParam)
    0,                            // K (hwnd, lParam) -> result: kLParamResult with the window's handle
    kWHalvesLParamResult,         // L (LO, HI wParam unsigned; lParam) -> result
    kLHalvesSignedResult,         // M (LO, HI lParam signed) -> result
    kLHalvesSigned,               // N (LO, HI lParam signed)
    kWParamLHalvesSignedResult,   // O (wParam; LO, HI lParam signed) -> result
    kWHalvesSignedResult,         // P (LO, HI wParam signed) -> result
    kWHalvesSignedLParamResult,   // Q (LO, HI wParam signed; lParam) -> result
    kWHalvesSignedLParam,         // R (LO, HI wParam signed; lParam)
};

template <class M> struct MethodClass;
template <class T, class F> struct MethodClass<F T::*> { using Type = T; };

// The member-function type of a handler of shape S in class T.
template <class Fn, class T> struct AsMethod;
template <class R, class... A, class T> struct AsMethod<R (*)(void*, A...), T> { using Type = R (T::*)(A...); };

}  // namespace MsgCrack

// A map entry whose handler has its message's one shape, the same that a
// handler table calls (OnMessage): MapMessage<WM_SIZE, &MyWnd::OnSize>() for
//     void OnSize(int width, int height, WPARAM type);
// The kind is chosen from the shape; the two shapes that no kind calls as
// they stand (the mouse and size messages' (x, y, wParam) and WM_CREATE's
// (hwnd, lParam)) go through the adapters of DWindow below. Windows write
// their maps with MapMessage; DMapEntry stays for a map that needs a kind by
// number.
template <UINT Message, auto Method>
DMessageMapEntry MapMessage();

// Creation descriptor of the DWindow set: 16 pointer-sized words.
struct DWindowCreateDesc {
    DWindow* object;
    HWND* handleField;
    int extraIndex;         // GetWindowLongW index at which the object is stored (0)
    WNDPROC windowProc;     // null: DWindow::StaticWndProc
    DWORD exStyle;
    const wchar_t* className;
    const wchar_t* title;
    DWORD style;
    int x;
    int y;
    int width;
    int height;
    HWND parent;
    HMENU menuOrId;
    HINSTANCE instance;
    void* param;
};
static_assert(sizeof(DWindowCreateDesc) == 16 * sizeof(void*), "the descriptor is 16 words");

class DWindow {
public:
    DWindow() = default;
    virtual ~DWindow();
    DWindow(const DWindow&) = delete;
    DWindow& operator=(const DWindow&) = delete;

    // The class's map (the base's is empty: every message goes to DefWindowProcW).
    virtual DMessageMap* GetMessageMap();
    // Dispatches one message through the map. May throw; StaticWndProc catches.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Creates the window the descriptor describes (a null procedure word is
    // replaced by StaticWndProc in the caller's descriptor); true when a window
    // was created. Rethrows what a handler threw during the creation.
    static bool CreateEx(DWindowCreateDesc* desc);
    bool Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* param);
    // Registers the class of map windows `cls` (RegisterClassWith, binding
    // FirstMessageProc); false on failure (the class's icons destroyed).
    static bool RegisterMapClass(const WindowClass& cls);
    // Registers the caller's complete WNDCLASSEXW with FirstMessageProc as its procedure.
    static bool RegisterClassEx(WNDCLASSEXW* wc);

    static LRESULT CALLBACK FirstMessageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Counts and sorts a map once (count -1 -> number of entries).
    static void SortMessageMap(DMessageMap* map);
    static int CompareMapEntries(const void* a, const void* b);

    // Adapters through which MapMessage calls handlers whose shape no map
    // kind has: (x, y, wParam) through kind 11, (hwnd, lParam) through 15.
    template <class T, auto Method>
    void CallPositionFirst(WPARAM wParam, int x, int y)
    {
        (static_cast<T*>(this)->*Method)(x, y, wParam);
    }
    template <class T, auto Method>
    LRESULT CallWithHandle(LPARAM lParam)
    {
        return (static_cast<T*>(this)->*Method)(hwnd, lParam);
    }

    HWND GetHwnd() const { return hwnd; }
    // DestroyWindow when a window is held; its result, or 0.
    BOOL Destroy() { return hwnd ? DestroyWindow(hwnd) : FALSE; }
    BOOL Show(int command) { return ShowWindow(hwnd, command); }
    BOOL Update() { return UpdateWindow(hwnd); }
    BOOL Enable(BOOL enable) { return EnableWindow(hwnd, enable); }
    BOOL Move(int x, int y, int width, int height, BOOL repaint) { return MoveWindow(hwnd, x, y, width, height, repaint); }
    BOOL SetPos(HWND insertAfter, int x, int y, int width, int height, UINT flags)
    {
        return SetWindowPos(hwnd, insertAfter, x, y, width, height, flags);
    }
    BOOL SetText(const wchar_t* text) { return SetWindowTextW(hwnd, text); }
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(hwnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(hwnd, rect); }
    HDC GetDC() const { return ::GetDC(hwnd); }
    int ReleaseDC(HDC dc) const { return ::ReleaseDC(hwnd, dc); }

protected:
    HWND hwnd = nullptr;    // null while no window exists

private:
    LRESULT Dispatch(const DMessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam);
};

template <UINT Message, auto Method>
DMessageMapEntry MapMessage()
{
    using namespace MsgCrack;
    using T = typename MethodClass<decltype(Method)>::Type;
    constexpr Shape shape = MessageShape<Message>();
    static_assert(shape != kNoShape, "this message has no cracker shape");
    static_assert(std::is_same<decltype(Method), typename AsMethod<typename Sig<shape, void*>::Fn, T>::Type>::value,
                  "the handler's signature does not match its message's shape");
    if constexpr (shape == I)
        return DMapEntry<kWParamLHalvesSigned>(Message, &DWindow::CallPositionFirst<T, Method>);
    else if constexpr (shape == K)
        return DMapEntry<kLParamResult>(Message, &DWindow::CallWithHandle<T, Method>);
    else
        return DMapEntry<kKindOfShape[shape]>(Message, Method);
}
