// DControlWindow: the scaffolding every owner-drawn control shares.
//
// An owner-drawn control (DButton, DHeader, DScroll, DListView, DUpDown, and
// the image strip's thumbnail cell) is a child window of a class of its own,
// bound to its object through window extra index 0 and dispatched through the
// class's HandlerTable. Everything around that is the same in each control
// and lives here, once:
//   * the window class: a ControlClass {name, class style, background},
//     registered by the control's RegisterClass row with the control's own
//     handler list (RegisterControl) and unregistered by UnregisterControl;
//   * the window procedure: WndProc, TableWindowProc over the class's table;
//   * the creation: CreateControlWindow fills the creation descriptor with
//     the object, its handle field and WndProc, and leaves no half-made
//     window behind when a handler throws;
//   * the owner: the cookie every callback gets first, and the input-event
//     record, the caller's or the control's own copy by a style bit
//     (HoldInput, ReleaseInput);
//   * the raw input: Report calls an input-event callback and says whether
//     the control survived it; the mouse, key and focus messages that a
//     control only reports are routed to Report by RegisterControl, so a
//     control's handler list names only the messages it does something with.
//
// A new control derives from DControlWindow<Itself, ItsInputRecord>, names
// DControlWindow a friend (so that the routing can reach its handlers), and
// copies DScroll (ui/scroll.h, ui/scroll.cpp) for the rest.
#pragma once

#include "foundation/globals.h"
#include "ui/control_input.h"
#include "ui/control_style.h"
#include "ui/dwnd.h"
#include "ui/handler_table.h"

// A control's window class. Every control class reserves 4 bytes of window
// extra for its object and shows the arrow cursor.
struct ControlClass {
    const wchar_t* name;
    UINT style;              // class style
    HBRUSH background;       // null: the control erases its own background
    bool registered = false;
};

// Which raw input a control leaves to the owner's input-event record.
namespace ReportInput {
constexpr unsigned kMouse = 0x1;   // the ten mouse messages
constexpr unsigned kKeys = 0x2;    // WM_KEYDOWN, WM_KEYUP, WM_CHAR
constexpr unsigned kFocus = 0x4;   // WM_SETFOCUS, WM_KILLFOCUS
}  // namespace ReportInput

// Registers the class through RegisterObjectClass with `instance`; false when
// it is registered already or the registration fails.
bool RegisterControlClass(ControlClass& cls, HINSTANCE instance);
// Unregisters the class when it is registered; false when it was not.
bool UnregisterControlClass(ControlClass& cls, HINSTANCE instance);

template <class Self, class Input>
class DControlWindow : public DCtlWnd {
public:
    using InputRecord = Input;

protected:
    DControlWindow() = default;
    ~DControlWindow() { ReleaseInput(); }

    // The class's handler table and window procedure.
    static inline HandlerTable classTable{};
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return TableWindowProc<Self, classTable>(hwnd, message, wParam, lParam);
    }

    // Registers the class (the program's module, hInstance) and fills its table: first
    // `entries`, then, for the input groups named by `report`, every slot the
    // entries left empty with a handler that only reports the message.
    template <size_t N>
    static bool RegisterControl(ControlClass& cls, const HandlerEntry (&entries)[N], unsigned report)
    {
        if (!RegisterControlClass(cls, hInstance))
            return false;
        classTable = HandlerTable{};
        classTable.Fill(entries, N);
        if (report & ReportInput::kMouse)
            FillEmpty(kMouseRoutes);
        if (report & ReportInput::kKeys)
            FillEmpty(kKeyRoutes);
        if (report & ReportInput::kFocus)
            FillEmpty(kFocusRoutes);
        return true;
    }
    static bool UnregisterControl(ControlClass& cls) { return UnregisterControlClass(cls, hInstance); }

    // Creates the control's window (WS_CHILD | `style`, no title, id 0) with
    // this object and WndProc; true when the window exists. When it does not,
    // or a handler throws during the creation (no half-made window is left
    // behind, and the exception goes on to the caller), `undo` runs first:
    // the control's member that frees what Create kept for the window.
    bool CreateControlWindow(DWORD exStyle, const wchar_t* className, DWORD style, int x, int y, int width,
                             int height, HWND parent, HINSTANCE instance, void* param, void (Self::*undo)())
    {
        Self* self = static_cast<Self*>(this);
        DWindowDesc desc = {self,  &hwnd, WndProc, exStyle, className, nullptr,  WS_CHILD | style, x,
                            y,     width, height,  parent,  nullptr,   instance, param};
        HWND created;
        try {
            created = CreateWindowFromDesc(&desc);
        } catch (...) {
            if (hwnd)
                DestroyWindow(hwnd);
            if (undo)
                (self->*undo)();
            throw;
        }
        if (created && hwnd)
            return true;
        if (undo)
            (self->*undo)();
        return false;
    }

    // Holds the caller's input-event record, or with `copy` a heap copy that
    // the control keeps (a zeroed one when the caller gives none); false when
    // the copy cannot be made. A copy held from an earlier window is freed.
    bool HoldInput(const Input* record, bool copy)
    {
        ReleaseInput();
        inputCopied_ = copy;
        return HoldRecord(input_, record, copy);
    }
    void ReleaseInput()
    {
        ReleaseRecord(input_, inputCopied_);
        inputCopied_ = false;
    }
    // Holds the input-event record as HoldInput does and the notification
    // record the same way into `held`; false, holding neither, when a copy
    // cannot be made.
    template <class Notify>
    bool HoldRecords(const Input* input, bool copyInput, const Notify*& held, const Notify* notify, bool copyNotify)
    {
        if (!HoldInput(input, copyInput))
            return false;
        if (HoldRecord(held, notify, copyNotify))
            return true;
        ReleaseInput();
        return false;
    }

    // Calls one input-event callback when the record has it; each returns
    // whether the control still owns its window afterwards (a callback may
    // destroy the control).
    bool Report(typename Input::Event Input::*slot)
    {
        HWND window = hwnd;
        if (input_ && input_->*slot)
            (input_->*slot)(cookie_, static_cast<Self*>(this));
        return StillOwns(window);
    }
    bool Report(typename Input::MouseEvent Input::*slot, WPARAM keys, int x, int y)
    {
        HWND window = hwnd;
        if (input_ && input_->*slot)
            (input_->*slot)(cookie_, static_cast<Self*>(this), keys, x, y);
        return StillOwns(window);
    }
    bool Report(typename Input::KeyEvent Input::*slot, WPARAM key, LPARAM data)
    {
        HWND window = hwnd;
        if (input_ && input_->*slot)
            (input_->*slot)(cookie_, static_cast<Self*>(this), key, data);
        return StillOwns(window);
    }
    // Whether `window` is still alive and bound to this object. Compares
    // addresses only: the object may already be freed.
    bool StillOwns(HWND window) const
    {
        return window && IsWindow(window) && WindowObject<Self>(window) == static_cast<const Self*>(this);
    }

    void* cookie_ = nullptr;              // the owner's, first argument of every callback
    const Input* input_ = nullptr;        // the caller's record or the control's own copy

private:
    template <typename Input::MouseEvent Input::*Slot>
    static void ReportMouse(void* self, int x, int y, WPARAM keys)
    {
        static_cast<DControlWindow*>(static_cast<Self*>(self))->Report(Slot, keys, x, y);
    }
    template <typename Input::KeyEvent Input::*Slot>
    static void ReportKey(void* self, WPARAM key, LPARAM data)
    {
        static_cast<DControlWindow*>(static_cast<Self*>(self))->Report(Slot, key, data);
    }
    template <typename Input::Event Input::*Slot>
    static void ReportFocus(void* self, WPARAM)
    {
        static_cast<DControlWindow*>(static_cast<Self*>(self))->Report(Slot);
    }
    template <size_t N>
    static void FillEmpty(const HandlerEntry (&routes)[N])
    {
        for (const HandlerEntry& route : routes)
            if (!classTable.handlers[route.message])
                classTable.handlers[route.message] = route.handler;
    }
    template <UINT Message, auto Handler>
    static HandlerEntry Route()
    {
        static_assert(std::is_same<decltype(Handler), typename MsgCrack::Sig<MsgCrack::ShapeOf(Message), void*>::Fn>::value,
                      "a route has its message's shape");
        return HandlerEntry{Message, reinterpret_cast<MsgCrack::AnyHandler>(Handler)};
    }

    static inline const HandlerEntry kMouseRoutes[] = {
        Route<WM_MOUSEMOVE, &ReportMouse<&Input::mouseMove>>(),
        Route<WM_LBUTTONDOWN, &ReportMouse<&Input::leftDown>>(),
        Route<WM_LBUTTONUP, &ReportMouse<&Input::leftUp>>(),
        Route<WM_LBUTTONDBLCLK, &ReportMouse<&Input::leftDoubleClick>>(),
        Route<WM_RBUTTONDOWN, &ReportMouse<&Input::rightDown>>(),
        Route<WM_RBUTTONUP, &ReportMouse<&Input::rightUp>>(),
        Route<WM_RBUTTONDBLCLK, &ReportMouse<&Input::rightDoubleClick>>(),
        Route<WM_MBUTTONDOWN, &ReportMouse<&Input::middleDown>>(),
        Route<WM_MBUTTONUP, &ReportMouse<&Input::middleUp>>(),
        Route<WM_MBUTTONDBLCLK, &ReportMouse<&Input::middleDoubleClick>>(),
    };
    static inline const HandlerEntry kKeyRoutes[] = {
        Route<WM_KEYDOWN, &ReportKey<&Input::keyDown>>(),
        Route<WM_KEYUP, &ReportKey<&Input::keyUp>>(),
        Route<WM_CHAR, &ReportKey<&Input::character>>(),
    };
    static inline const HandlerEntry kFocusRoutes[] = {
        Route<WM_SETFOCUS, &ReportFocus<&Input::focusGained>>(),
        Route<WM_KILLFOCUS, &ReportFocus<&Input::focusLost>>(),
    };

    bool inputCopied_ = false;            // input_ is the control's own copy
};
