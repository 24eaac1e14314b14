// A host window with the control library brought up, and a button whose
// callbacks write into a CallLog.
#pragma once

#include "common/window_harness.h"
#include "foundation/globals.h"
#include "ui/button.h"
#include "ui/init_rows.h"
#include "ui/tooltip.h"

#include <functional>

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
        host.reset(new harness::HostWindow(300, 200));
    }
    void TearDown() override
    {
        delete button;
        button = nullptr;
        host.reset();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    }

    // Creates `button` at (x, y) of the host with the given style.
    bool Make(DWORD style, const wchar_t* caption = L"OK", int x = 20, int y = 20, int w = 80, int h = 30)
    {
        DButtonDesc d = {60,    host->Hwnd(), style,     x,       y,       w, h, this, caption, nullptr, 0, 0,
                         hInstance, &inputRecord, &notifyRecord};
        delete button;
        button = new DButton;
        return button->Create(&d);
    }
    HWND Hwnd() const { return button ? button->GetHwnd() : nullptr; }
    LRESULT Send(UINT m, WPARAM w, LPARAM l) { return SendMessageW(Hwnd(), m, w, l); }
    // Screen point of a client point of the button.
    POINT ScreenOf(int x, int y) const
    {
        POINT p = {x, y};
        ClientToScreen(button->GetHwnd(), &p);
        return p;
    }

    static ButtonTest* Self(void* cookie) { return static_cast<ButtonTest*>(cookie); }
    static void Event(void* cookie, const char* what)
    {
        ButtonTest* t = Self(cookie);
        t->log.Add(what);
        if (t->onEvent)
            t->onEvent(what);
    }

    harness::CallLog log;
    std::function<void(const char*)> onEvent;   // runs after an event is logged
    std::unique_ptr<harness::HostWindow> host;
    DButton* button = nullptr;

    DButtonNotify notifyRecord = {
        [](void* c, DButton*) { Event(c, "clicked"); },
        [](void* c, DButton*) { Event(c, "pressed"); },
        [](void* c, DButton*) { Event(c, "released"); },
        [](void* c, DButton*) { Event(c, "right clicked"); },
        [](void* c, DButton*) { Event(c, "middle clicked"); },
        [](void* c, DButton*) { Event(c, "hover"); },
    };
    DButtonInput inputRecord = {
        [](void* c, DButton*) { Event(c, "in focus"); },
        [](void* c, DButton*) { Event(c, "in unfocus"); },
        [](void* c, DButton*, WPARAM, int x, int y) { Self(c)->log.Addf("in move %d %d", x, y); },
        [](void* c, DButton*, WPARAM, int x, int y) { Self(c)->log.Addf("in ldown %d %d", x, y); },
        [](void* c, DButton*, WPARAM, int x, int y) { Self(c)->log.Addf("in lup %d %d", x, y); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in ldbl"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in rdown"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in rup"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in rdbl"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in mdown"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in mup"); },
        [](void* c, DButton*, WPARAM, int, int) { Event(c, "in mdbl"); },
        [](void* c, DButton*, WPARAM k, LPARAM) { Self(c)->log.Addf("in keydown %u", k); },
        [](void* c, DButton*, WPARAM k, LPARAM) { Self(c)->log.Addf("in keyup %u", k); },
        [](void* c, DButton*, WPARAM k, LPARAM) { Self(c)->log.Addf("in char %u", k); },
    };
};
