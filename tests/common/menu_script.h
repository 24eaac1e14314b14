// Answers the program's popup menus in tests: installed as the popup tracker
// (ui/popupmenu.h, SetPopupTracker), it records every menu it is shown (its
// items' ids, texts and states, and the point) and answers with the next
// queued answer, or the standing choice when none is queued (0: nothing
// chosen).
//
//     MenuScript menus(kSomeCommand);      // installed until the end of the scope
//     ...                                  // the program tracks a menu
//     EXPECT_EQ(ids, menus.LastIds());
//
// A fixture may install it for every test (Install in SetUp, Remove in
// TearDown) and queue answers with MenuScript::Answers() = {...}.
#pragma once

#include "ui/popupmenu.h"

#include <windows.h>

#include <string>
#include <vector>

// One item of a tracked menu; a separator has id 0 and no text.
struct TrackedItem {
    UINT id;
    std::wstring text;
    UINT state;
    HBITMAP picture = nullptr;   // an item shown as a picture
};

class MenuScript {
public:
    explicit MenuScript(int choice = 0)
    {
        Install();
        Choose(choice);
    }
    ~MenuScript() { Remove(); }
    MenuScript(const MenuScript&) = delete;
    MenuScript& operator=(const MenuScript&) = delete;

    // Becomes the popup tracker with nothing seen, nothing queued and choice 0.
    static void Install()
    {
        SetPopupTracker(&Track);
        Seen().clear();
        Answers().clear();
        Choose(0);
    }
    // Gives the real tracker back.
    static void Remove() { SetPopupTracker(nullptr); }

    // The answer of every menu while no answer is queued.
    static void Choose(int choice) { State().choice = choice; }
    // Answers for the next menus, first first.
    static std::vector<int>& Answers() { return State().answers; }
    // Every menu tracked since Install, in order.
    static std::vector<std::vector<TrackedItem>>& Seen() { return State().seen; }

    static int Count() { return static_cast<int>(Seen().size()); }
    static const std::vector<TrackedItem>& Last() { return Seen().back(); }
    // The item ids of menu `menu` (0 for separators); empty when there was no such menu.
    static std::vector<UINT> Ids(size_t menu)
    {
        std::vector<UINT> ids;
        if (menu < Seen().size())
            for (const TrackedItem& item : Seen()[menu])
                ids.push_back(item.id);
        return ids;
    }
    static std::vector<UINT> LastIds() { return Seen().empty() ? std::vector<UINT>() : Ids(Seen().size() - 1); }
    // The screen point of the last menu.
    static POINT LastPoint() { return State().point; }

    // The tracker itself (PopupTracker).
    static int Track(HMENU menu, UINT, int x, int y, HWND)
    {
        std::vector<TrackedItem> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW mi = {};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE | MIIM_BITMAP;
            mi.dwTypeData = text;
            mi.cch = 255;
            GetMenuItemInfoW(menu, i, TRUE, &mi);
            const bool separator = (mi.fType & MFT_SEPARATOR) != 0;
            items.push_back(TrackedItem{separator ? 0u : mi.wID, separator ? std::wstring() : std::wstring(text),
                                        mi.fState, separator ? nullptr : mi.hbmpItem});
        }
        Seen().push_back(items);
        State().point = POINT{x, y};
        if (Answers().empty())
            return State().choice;
        const int answer = Answers().front();
        Answers().erase(Answers().begin());
        return answer;
    }

private:
    struct Record {
        std::vector<std::vector<TrackedItem>> seen;
        std::vector<int> answers;
        int choice = 0;
        POINT point = {};
    };
    static Record& State()
    {
        static Record record;
        return record;
    }
};
