// A list view in the host window, with callbacks that write into the log.
#pragma once

#include "ui/listview.h"

#include "controls_fixture.h"

#include <string>

class ListTest : public ControlsTest {
protected:
    void DestroyControls() override { list.reset(); }

    bool Make(DWORD style = DListViewStyle::kStandard, int w = 300, int h = 200)
    {
        list.reset(new DListView);
        DListViewDesc d = {style, this, Host(), 10, 10, w, h, hInstance, &inputRecord, &notifyRecord};
        return list->Create(&d);
    }
    // A text column (caption and maximum given), left-aligned.
    bool AddColumn(int maxLength, int width = 80, int index = -1, DWORD cellKind = DListColumnFlags::kTextCells)
    {
        DListColumn c = {DListColumnFlags::kCaption, cellKind, index, width, maxLength, L"Col", 0};
        return list->InsertColumn(&c);
    }
    bool AddRow(const std::wstring& text, LONG_PTR data, int row = -1, int column = 0, DWORD mask = 0, DWORD state = 0)
    {
        DListItem item = {DListItemMask::kText | DListItemMask::kData | mask, state, column, row,
                          const_cast<wchar_t*>(text.c_str()), -1, 0, data};
        return list->InsertItem(&item);
    }
    bool SetText(int row, int column, const std::wstring& text)
    {
        DListItem item = {DListItemMask::kText, 0, column, row, const_cast<wchar_t*>(text.c_str()), -1, 0, 0};
        return list->SetItem(&item);
    }
    std::wstring Text(int row, int column)
    {
        wchar_t buffer[1100];
        DListItem item = {DListItemMask::kText, 0, column, row, buffer, 1100, 0, 0};
        if (!list->GetItem(&item))
            return L"<none>";
        return buffer;
    }
    LONG_PTR Data(int row, int column = 0)
    {
        LONG_PTR d = -999;
        list->GetItemData(column, row, &d);
        return d;
    }
    LRESULT Send(UINT m, WPARAM w, LPARAM l) { return SendMessageW(list->GetHwnd(), m, w, l); }
    void Key(WPARAM vk) { Send(WM_KEYDOWN, vk, 1); }

    static ListTest* Self(void* c) { return static_cast<ListTest*>(c); }

    std::unique_ptr<DListView> list;
    DListViewNotify notifyRecord = {
        [](void* c, DListView*, int row) { Self(c)->log.Addf("sel %d", row); },
        nullptr,
        [](void* c, DListView*, int row) { Self(c)->log.Addf("refill %d", row); },
        nullptr,
        nullptr,
    };
    DListViewInput inputRecord = {
        [](void* c, DListView*) { Self(c)->log.Add("focus"); },
        [](void* c, DListView*) { Self(c)->log.Add("unfocus"); },
        nullptr,
        [](void* c, DListView* l, WPARAM, int x, int y) {
            Self(c)->log.Addf("ldown %d %d%s", x, y, l == Self(c)->list.get() ? "" : " (not the list)");
        },
        nullptr,
        nullptr,
        [](void* c, DListView*, WPARAM, int x, int y) { Self(c)->log.Addf("rdown %d %d", x, y); },
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        [](void* c, DListView*, WPARAM key, LPARAM) { Self(c)->log.Addf("key %u", static_cast<unsigned>(key)); },
        nullptr,
        nullptr,
    };
};
