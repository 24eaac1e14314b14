// DbFormDesc: a database table as a described form: the record card's
// fields, the list's columns, buttons and ordering (for example "main.cfg",
// the main window's patient list, and "Patient.cfg", the patient card).
//
// File sections (English or Russian words; a section may repeat: a later
// "form", "table", "key" or "orderby" replaces the earlier value, field lists
// and buttons accumulate):
//   form    / форма     window section
//   table   / таблица   "=" string: the table (or table expression) of the SELECT
//   key     / ключ      "=" string: the key column
//   items   / элементы  field list, references allowed: the card's fields
//   list    / список    field list, no references: the list's columns
//   buttons / кнопки    role words and button blocks
//   child               "{" {"table" "column"}... "}": rows of other tables that hold our key
//   strings / строки    not implemented (4)
//   nosave              no value: no per-form settings are read or written
//   orderby / порядок   "=" string: the ORDER BY text
//
// Per-form settings live in the registry key named after the description
// below the settings key: "Font" (a 92-byte LOGFONT) and "Column<i>", the
// width of list column i. They are read with read access only, so a user who
// may not write the machine's settings still gets them, and written only by
// SaveSettings, when the description cache is cleared at the end.
#pragma once

#include "forms/descbase.h"
#include "forms/descheap.h"
#include "forms/fielddesc.h"

// Events of button handlers, in the order their names are searched.
enum ButtonEvent {
    kEventNone = 0,
    kEventClose = 1,       // "close": close the card window
    kEventAddUpdate = 2,   // "addupdate": store the record
    kEventNew = 3,         // "new": start a new record
    kEventFormOpen = 4,    // "formopen": open the card named by the button's "string"
    kEventDelete = 5,      // "delete": delete the record
};

// Roles of a button; a "laborant" button is dropped.
enum ButtonRole : DWORD {
    kRoleLaborant = 1,
    kRoleServer = 2,
};

struct DButtonDesc;

// One described button. Its handlers are event numbers: the card binds
// each to its own operation when it makes the button.
struct ItemDesc {
    DStrBuf caption;     // empty when not given
    DStrBuf tooltip;
    DStrBuf string;      // for "formopen": the description file to open
    HICON icon;          // or null
    int click;           // ButtonEvent of each mouse button, kEventNone when unset
    int rclick;
    int mclick;

    ItemDesc();
    ~ItemDesc();
    // 1 when the click, rclick or mclick handler is that event; 0 for
    // numbers outside 1 to 5.
    int HasHandler(int event) const;
    // Fills a button descriptor from the item: the caption (none when empty),
    // the icon at the button icon size, and the right- and middle-button
    // styles when those handlers are set. The notification record, which
    // binds the events to the card's operations, is the card's to give.
    void ToControlItem(DButtonDesc& desc) const;
};

// Two texts: in a "child" pair a child table and its column that holds
// this form's key.
struct DescTextPair {
    DStrBuf first;
    DStrBuf second;
};

class DbFormDesc : public DescBase {
public:
    DbFormDesc();
    ~DbFormDesc() override;

    const wchar_t* GetName() const override { return name_.GetString(); }
    int GetNameLength() const override { return name_.Length(); }
    int Parse(const wchar_t* name) override;
    int SaveSettings() override;
    int LoadSettings() override;
    // Frees the fields, buttons (with their icons), pairs and the icon, and
    // clears the texts other than the name.
    void Destroy();

    // 1 when any button carries that event's handler.
    int HasEvent(int event) const;

    const DescStrArray& Items() const { return items_; }
    const DescStrArray& List() const { return list_; }
    int ButtonCount() const { return buttonCount_; }
    const ItemDesc& Button(int i) const { return buttons_[i]; }
    int ChildCount() const { return childCount_; }
    const DescTextPair& Child(int i) const { return children_[i]; }
    const DescWindow& Window() const { return window_; }
    const wchar_t* Caption() const { return window_.caption.GetString(); }
    HICON Icon() const { return window_.icon; }
    int Width() const { return window_.width; }
    int Height() const { return window_.height; }
    const DStrBuf& Table() const { return table_; }
    const DStrBuf& Key() const { return key_; }
    const DStrBuf& Order() const { return order_; }
    const LOGFONTW& Font() const { return font_; }
    bool NoSave() const { return nosave_ != 0; }

private:
    void ParseBody(DescLexer& lex);

    DescStrArray items_;        // the record card's fields
    DescStrArray list_;         // the list view's columns
    DescTextPair* children_;    // DescHeap array
    int childCount_;
    ItemDesc* buttons_;         // DescHeap array
    int buttonCount_;
    DescWindow window_;
    DStrBuf name_;
    DStrBuf table_;             // up to 1024 characters
    DStrBuf key_;               // up to 128
    DStrBuf order_;             // up to 128
    LOGFONTW font_;             // the font of the form's window and list
    int nosave_;                // 1 when the file says "nosave"
};
