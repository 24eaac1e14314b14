// How a window of the program looks, for the tests of every folder's windows:
// the texts of its own controls, and of the standard ones, whole and in the
// running language. Header-only: only the tests that link the control
// library include it.
#pragma once

#include "common/dialog_look.h"
#include "ui/button.h"
#include "ui/header.h"
#include "ui/window_create.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace harness {

namespace detail {

inline bool ClassIs(HWND window, const wchar_t* name)
{
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

inline BOOL CALLBACK CollectVisible(HWND child, LPARAM out)
{
    if (IsWindowVisible(child))
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
    return TRUE;
}

}  // namespace detail

// The first fault among the texts shown by the windows below `window` (its
// own caption is the caller's: a title may be a name): a text not in the
// running language, or a text its control cuts. Owner-drawn buttons are
// judged by their icon and caption against their client area, column headers
// by each caption against its column, standard labels and buttons as
// LayoutFault measures them. The windows of `data` show data (a patient's
// name), not the program's texts: they are passed over. Empty when there is
// no fault.
inline std::wstring WindowTextFault(HWND window, bool russian, const std::vector<HWND>& data = {})
{
    std::vector<HWND> children;
    EnumChildWindows(window, detail::CollectVisible, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (std::find(data.begin(), data.end(), child) != data.end())
            continue;
        std::vector<std::pair<std::wstring, bool>> texts;   // text, whole
        if (detail::ClassIs(child, DButton::kClassName)) {
            const DButton* button = WindowObject<DButton>(child);
            wchar_t caption[256] = L"";
            if (button && button->GetText(caption, 256))
                texts.emplace_back(caption, button->ContentFits());
        } else if (detail::ClassIs(child, DHeader::kClassName)) {
            const DHeader* header = WindowObject<DHeader>(child);
            for (int i = 0; header && i < header->GetColumnCount(); ++i) {
                int length = 0;
                const wchar_t* text = header->GetColumnText(i, &length);
                if (text)
                    texts.emplace_back(std::wstring(text, length), header->ColumnTextFits(i));
            }
        } else if (detail::ClassIs(child, L"Button") || detail::ClassIs(child, L"Static")) {
            wchar_t text[256] = L"";
            GetWindowTextW(child, text, 256);
            texts.emplace_back(text, TextFits(child));
        }
        for (const auto& [text, whole] : texts) {
            if (!TextInLanguage(text, russian))
                return L"\"" + text + L"\" is not in the running language";
            if (!whole)
                return L"\"" + text + L"\" is clipped";
        }
    }
    return std::wstring();
}

}  // namespace harness
