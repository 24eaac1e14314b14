// KartLayout: the content of a record card: one control per field of the
// form description (an edit control, a drop-down list with a button that
// opens the referenced table's card, or a yes/no button), an optional list
// of the table's rows, and a row of buttons from the form's "buttons".
//
// Built once in the card's WM_CREATE and destroyed in its WM_DESTROY. The
// edit controls and drop-down lists are subclassed: they move the focus on
// Tab and Enter (Shift: backwards), run the check-row test when the user
// leaves a "checkrow" field, refresh their lists (F5) and hand every other
// key to the card (DbKartWindow::OnKey).
#pragma once

#include "database/dbobject.h"
#include "forms/kartfield.h"

#include <windows.h>

class DbFormDesc;
class DbKartWindow;
class DButton;
class DListView;
class DODBParams;
class DODBRowset;
struct DescStrArray;

class KartLayout {
public:
    KartLayout() = default;
    ~KartLayout() { Destroy(); }
    KartLayout(const KartLayout&) = delete;
    KartLayout& operator=(const KartLayout&) = delete;

    // Creates the list view (when the form has list fields), the field
    // controls and the buttons; false (and nothing left) on any failure.
    bool Build(DbKartWindow* owner, HWND parent, const DbFormDesc* form, HFONT font);
    // Keeps the list's column widths in the form's list fields, then Destroy.
    void Reset();
    // Destroys the controls, the field records, the buttons and the list view.
    void Destroy();

    // Height the content needs for a row height r.
    int CalcHeight(int r) const;
    void Arrange(int x, int y, int width, int height, int r);
    // Draws the field captions (the form font is selected by the caller).
    void DrawLabels(HDC dc, int textHeight) const;

    // Focus: the field's control (or button); true when it took the focus.
    static bool FocusField(KartField* field);
    // Tab, Enter: to the next field when the card allows it, Shift: back.
    static void MoveFocus(KartField* field, bool backward);
    // Opens the referenced table's card for a list field and refills its list.
    static void RunReference(KartField* field);

    DbKartWindow* owner = nullptr;
    HWND parent = nullptr;
    DListView* list = nullptr;        // or null
    KartField** fields = nullptr;     // DescHeap array of fieldCount
    DButton* buttons = nullptr;       // array of buttonCount
    const DbFormDesc* form = nullptr;
    int fieldCount = 0;
    int buttonCount = 0;
    int rowHeight = 0;                // of the last Arrange
    HFONT font = nullptr;             // the form font (the card's)

private:
    bool CreateList();
    bool CreateFields(HFONT font);
    bool CreateButtons(HFONT font);
    bool CreateControl(KartField* field, HFONT font, int id);
};

namespace KartData {
// Refills the card's row list ("SELECT " list columns ", " key " FROM " table
// " ORDER BY 1;") and selects the row of the key when flag is above 0, else
// the first row; the selection reaches the card. True without a list.
bool Run(KartLayout& layout, LONG key, int flag);
}  // namespace KartData

// Fills a list view from a rowset: one item per row, the key (the column
// after the list columns) as item data; selects the row of the wanted key
// (or the first row) and gives its key and flag 1 (an empty list: 0 and 0).
// "special" list fields are neither columns of the rowset nor of the list.
// Returns 0, 1 when it stopped at a key press (`stopOnKey`), -1 on an error.
int FillListFromRowset(DListView* list, DODBRowset* rowset, DODBParams* row, const DescStrArray& fields,
                       const LONG* wantedKey, LONG* key, int* flag, bool stopOnKey);

// True when a key press waits in the thread's queue; no message is removed.
bool IsKeyPending();
