// DbKartWindow: the record card, a modal window of the class "DbKartWindow"
// that shows one row of a described table for editing: the fields of a
// database form description, an optional list of the table's rows, a row of
// buttons from its "buttons" section and a status bar for messages.
//
// Record flag: above 0 the card shows an existing row (saving updates it),
// 0 a new row (saving inserts it). It moves to "new" at creation with flag
// 0, on "new", after a delete or a failed load, and to "row" after a load
// or a successful insert. The status text keeps the last message until the
// next command clears or replaces it.
//
// Commands: Save ("addupdate", F2), Reload ("new", Insert), Delete ("delete",
// F8), close ("close", Escape) and "formopen"; a key works only when one of
// the form's buttons carries its event.
#pragma once

#include "forms/kartlayout.h"
#include "ui/dwindow.h"

#include <windows.h>

class DbFormDesc;
struct ItemDesc;

// What a card came to, for the window that opened it.
struct KartOutcome {
    int result;   // -1: nothing was stored; 0: a row was saved or deleted
    LONG key;     // the key of the row the card showed last
    int flag;     // its record flag then
};

class DbKartWindow : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"DbKartWindow";

    DbKartWindow();
    ~DbKartWindow() override;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Creates and shows the card (only shows it when it exists already).
    bool Create(const DbFormDesc* form, HWND owner, LONG key, int flag);

    bool Save();
    void Reload();
    bool Delete();
    bool SetRecord(LONG key, int flag);
    // The check-row test when the user leaves a field; false keeps the focus.
    bool CheckField(KartField* field);
    // The focus entered a field's control: a "checkrow" field's test is due
    // until the user leaves it forward or a save runs it.
    void FieldEntered(KartField* field);
    // Escape, Insert, F2 and F8 when a button carries their event.
    bool OnKey(WPARAM key);
    // Runs a button event of the form.
    void RunEvent(int event, const ItemDesc& item);

    const DbFormDesc* Form() const { return form_; }
    LONG Key() const { return key_; }
    int Flag() const { return flag_; }
    const wchar_t* StatusText() const { return status_; }
    HWND StatusBar() const { return statusBar_; }
    KartLayout& Layout() { return layout_; }
    int RowHeight() const { return static_cast<int>(textHeight_ * kRowFactor); }
    const KartOutcome& Outcome() const { return outcome_; }

    // The start-up pair of the forms: registers "DbKartWindow" and then
    // "DbFiltFormWindow"; the undo unregisters both and clears the
    // description cache.
    static bool RegisterClasses();
    static void UnregisterClasses();
    static bool RegisterClass();
    static void UnregisterClass();

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static constexpr double kRowFactor = 1.4;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnSetFocus(WPARAM previous);

    void SetStatus(const wchar_t* text);
    void SetStatusId(UINT id);
    void ShowStatus();
    // The message of a field error, with the field's caption as "%1".
    void ModeText(const KartError& error);

    LONG key_;                  // key of the row shown
    int flag_;                  // above 0: an existing row
    int clientWidth_;
    int clientHeight_;
    int textHeight_;            // of "986" in the form font
    int statusHeight_;
    HFONT font_;                // the form font
    HWND statusBar_;
    wchar_t status_[256];       // the status text
    const DbFormDesc* form_;
    KartLayout layout_;
    KartOutcome outcome_;
    KartField* pendingCheck_;   // "checkrow" field entered and not yet tested, or null
};

// Opens the card of the named form modally over the owner: flag 1 or more
// shows the row of the key, 0 an empty card for a new row. False when the
// description cannot be had or the window cannot be created. The outcome,
// when asked for, tells whether anything was stored.
bool RunKartForm(const wchar_t* name, HWND owner, LONG key, int flag, KartOutcome* outcome = nullptr);
// The same card without the modal loop, on the heap; null on failure.
DbKartWindow* CreateKartForm(const wchar_t* name, HWND owner, LONG key, int flag);
// The key of such a card's row; false for a new record.
bool GetKartFormKey(DbKartWindow* card, LONG* key);
// Destroys and deletes such a card.
void DestroyKartForm(DbKartWindow* card);
