// DbFiltFormWindow: the filter form, a modal window of the class
// "DbFiltFormWindow" in which the user edits a DbFilter: one row per field of
// the filter form description, grouped into the form's own fields and one
// group per "reference" section. A row shows the field's caption, a button
// with the condition's kind (a click or F3 opens the kinds the field
// offers) and one or two value editors for the field's type and the kind.
//
// The window works on a copy of the caller's filter. "Set Filter" (F2) reads
// every row into the copy and, when all values are valid, copies it back and
// closes with result 1; Escape and "Exit" close with result 0 and leave the
// caller's filter exactly as it was; "Reset" (Ctrl+Delete) gives every row its
// default kind with empty values. Invalid values are reported in the status
// bar with a beep and the window stays open.
#pragma once

#include "forms/dbfilter.h"
#include "forms/descheap.h"
#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class DbFiltFormWindow;
struct FilterGroup;
struct FilterRow;

// One value editor of a row.
struct FilterField {
    FilterRow* row;
    int index;                     // 0 or 1 in the row
    const FieldBlob* field;
    bool isWindow;                 // an edit or combo box (else the yes/no button)
    HWND control;                  // the edit or combo box, or null
    std::unique_ptr<DButton> button;   // the yes/no button, or null
};

struct FilterRow {
    DButton kindButton;            // its caption is the kind's name
    FilterCondition* condition;
    std::vector<std::unique_ptr<FilterField>> editors;   // none, one or two
    RECT rect;                     // the row's rectangle
    int captionEnd;                // left + width / 4
    int kindEnd;                   // left + 2 x width / 5
    int index;
    FilterGroup* group;
};

struct FilterGroup {
    std::vector<std::unique_ptr<FilterRow>> rows;
    DbFilterValues* conditions;
    int left;
    int top;
    int width;
    int rowHeight;
    std::wstring title;            // the section's name; empty for the own fields
    DbFiltFormWindow* window;
    int number;                    // 0 for the own fields, section + 1 for the others
};

class DbFiltFormWindow : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"DbFiltFormWindow";

    DbFiltFormWindow();
    ~DbFiltFormWindow() override;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Runs the modal window on the caller's filter; the owner is disabled
    // meanwhile. `set`, when given, tells whether a filter was set. False
    // when the window cannot be created.
    static bool Run(DbFilter* filter, HWND owner, bool* set);
    // Creates and shows the window on the caller's filter (without the loop).
    bool Create(DbFilter* filter, HWND owner);
    // True when the created window is on the screen; otherwise reports it and
    // destroys it.
    bool Shown(HWND owner);

    static bool RegisterClass();
    static void UnregisterClass();

    // Commands.
    bool SetFilter();
    void Reset();
    void Close(int result);
    // Applies a kind to a row (what the kind menu does); false when refused.
    bool ChooseKind(FilterRow* row, int kind);
    // Keys of the window and its editors (after the row took F3).
    bool OnKey(WPARAM key);
    void OnRowKey(FilterRow* row, WPARAM key);
    // Enter and Tab: the next editor (Shift: the previous one).
    void MoveFocus(FilterField* from, bool backward);

    int Result() const { return result_; }
    const wchar_t* StatusText() const { return status_; }
    HWND StatusBar() const { return statusBar_; }
    FilterGroup& OwnGroup() { return own_; }
    int SectionGroupCount() const { return static_cast<int>(sections_.size()); }
    FilterGroup& SectionGroup(int i) { return *sections_[i]; }
    DbFilter& Working() { return working_; }
    DButton& Button(int i) { return buttons_[i]; }
    int RowHeight() const { return rowHeight_; }
    // Height of the whole content (status bar, buttons, groups).
    int ContentHeight() const;

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnKeyDown(WPARAM key, LPARAM data);
    void OnSetFocus(WPARAM previous);

    bool CreateGroup(FilterGroup& group, DbFilterValues& conditions, const DescStrArray& fields, int number,
                     const std::wstring& title);
    // Rebuilds the row's editors for its kind, filled from the condition.
    bool BuildEditors(FilterRow* row);
    void ShowKindMenu(FilterRow* row);
    void ReadRow(FilterRow* row);
    void ReadEditor(FilterField* editor);
    void LayoutGroup(FilterGroup& group, int& y);
    void LayoutRow(FilterRow* row);
    std::vector<FilterField*> AllEditors();
    void ShowStatus();
    int ButtonHeight() const;

    int clientWidth_;
    int clientHeight_;
    int textHeight_;               // tmHeight of the forms font
    int rowHeight_;                // text height x 3 / 2
    HFONT font_;
    HWND statusBar_;
    DButton buttons_[3];
    FilterGroup own_;
    std::vector<std::unique_ptr<FilterGroup>> sections_;
    wchar_t status_[256];
    DbFilter* caller_;
    DbFilter working_;
    int result_;                   // -1 while open, 1 after "Set Filter", 0 after closing without it
};

// Parses the named form description into a fresh FormDesc, loads a new
// filter from it and runs the window. Nothing in the program calls it.
bool RunFilterForm(const wchar_t* name, HWND owner);
