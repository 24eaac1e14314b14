// Whether the items of the program's popup menus, as MenuScript records them,
// speak the running language; shared by the menu walks of every folder.
//
//     harness::ThreadLanguage language(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
//     ...                                   // the program tracks a menu
//     EXPECT_EQ("", harness::MenuFault(MenuScript::Last(), true, "zoom menu"));
#pragma once

#include "common/menu_script.h"

#include <windows.h>

#include <string>
#include <vector>

namespace harness {

// A text for a test's message: ASCII as it stands, every other letter '?'.
inline std::string NarrowText(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// One item's text in the running language: in English no Cyrillic letter; in
// Russian some Cyrillic letter and no Latin lower-case one (abbreviations
// such as "DICOM" or "OK" stand beside Russian words, never alone).
inline bool MenuTextInLanguage(const std::wstring& text, bool russian)
{
    bool cyrillic = false, latinLower = false;
    for (wchar_t c : text) {
        cyrillic |= c >= 0x0400 && c <= 0x04FF;
        latinLower |= c >= L'a' && c <= L'z';
    }
    return russian ? cyrillic && !latinLower : !cyrillic;
}

// The first item of a tracked menu whose text is empty (pictureItems: that
// has no picture, or a text) or not in the running language, described for the message; an empty
// text when every item speaks the language. Separators are passed over.
inline std::string MenuFault(const std::vector<TrackedItem>& items, bool russian, const std::string& menu,
                             bool pictureItems = false)
{
    if (items.empty())
        return menu + ": no items";
    for (const TrackedItem& item : items) {
        if (item.id == 0)
            continue;
        const std::string where = menu + " item " + std::to_string(item.id);
        if (pictureItems) {
            if (!item.picture)
                return where + " has no picture";
            if (!item.text.empty())
                return where + " has a text beside its picture: " + NarrowText(item.text);
            continue;
        }
        if (item.text.empty())
            return where + " has no text";
        if (!MenuTextInLanguage(item.text, russian))
            return where + " is not " + (russian ? "Russian: " : "English: ") + NarrowText(item.text);
    }
    return std::string();
}

}  // namespace harness
