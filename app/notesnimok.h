// Image notes: the note window (NoteSnimokWnd, class "NoteSnimok"), the
// diagnosis template editor it opens (TNoteSnimokWnd, class "TNoteSnimok"),
// the main patient window's global note and the template popup menu.
//
// Every image may carry a description (Snimok.[Apicriz]), a link to the
// diagnosis template it was written from (Snimok.[DiagHelp]) and a protect
// flag (Snimok.[NoDelete]). The note window shows them for one image: a row
// of command buttons, a band naming the template, a "Protect" check button
// and a multi-line edit field. It opens editable from an image view and
// read-only from the image strips.
//
// Note window states: no window -> created and loaded (Create) -> showing
// another image (ChangeSnimok) -> destroyed. Whichever way an editable note
// goes (Exit, Esc, Alt+F4, the owner's destruction, CloseSnimokNote), a
// changed description is offered for saving first; only Save saves without
// asking. A description the database cannot hold whole is refused with a
// message and the window stays open: nothing is ever cut silently.
//
// Template editor states: no window -> open (one per note window) -> closed
// by Exit, Select, Esc, or its owner note's destruction. Edits of a template's
// text are offered for saving before they would be lost (another template
// chosen, New, Delete, closing), and a template is deleted only after a Yes.
//
// Database failures propagate as DODBErrors to the caller of an operation;
// the windows' own commands catch them and show them.
#pragma once

#include "images/viewer/viewerservices.h"
#include "ui/button.h"
#include "ui/dwindow.h"

#include <windows.h>

// What the template editor asks of the note that opened it.
class NoteCallback {
public:
    // Applies a template to the note (keyGiven 0: empties the note).
    virtual void ApplyTemplate(DWORD templateKey, BOOL keyGiven) = 0;
    // The note window's handle (the editor's owner).
    virtual HWND NoteWindow() = 0;

protected:
    ~NoteCallback() {}
};

class TNoteSnimokWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"TNoteSnimok";
    static constexpr int kButtons = 6;
    enum Button { kExit, kSelect, kSave, kDefault, kNew, kDelete };

    TNoteSnimokWnd() = default;
    ~TNoteSnimokWnd() override;

    // Fails when the window exists, the placement "TNoteSnimok" cannot be
    // had or the list cannot be filled.
    bool Create(NoteCallback* callback, DWORD templateKey, BOOL keyGiven);
    void Destroy();

    // The commands, as the buttons run them. Each may throw DODBErrors.
    void Exit();
    void Select();
    void Save();
    void MakeDefault();
    void New();
    void Delete();
    // Selects the list item (LBN_SELCHANGE); false when the user kept the
    // current template to save its edits first and then cancelled.
    bool ChooseItem(int item);

    HWND GetEdit() const { return edit_; }
    HWND GetList() const { return list_; }
    DButton* GetButton(int i) { return i >= 0 && i < buttonCount_ ? &buttons_[i] : nullptr; }
    bool HasSelection() const { return hasSelection_; }
    DWORD SelectedKey() const { return selectedKey_; }

    static bool RegisterClass();
    static void UnregisterClass();

    DMessageMap* GetMessageMap() override { return &messageMap; }
    static DMessageMap messageMap;

private:
    static void OnButtonClicked(void* cookie, DButton* button);
    static void OnButtonHover(void* cookie, DButton* button);
    static void OnButtonKey(void* cookie, DButton* button, WPARAM key, LPARAM data);

public:
    // Message handlers (the map's entries).
    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnGetMinMaxInfo(LPARAM info);
    LRESULT OnCommand(UINT id, UINT code, LPARAM control);
    LRESULT OnVKeyToItem(int key, int caret, LPARAM list);
    void OnFontChanged(WPARAM notice);
    void OnClose();

private:
    void Run(int button);          // a command with its database errors shown
    void FillList();               // throws MsgExcept 639 or DODBErrors
    void ShowSelectedText();       // throws MsgExcept 639, 640 or DODBErrors
    // Offers to save edits of the selected template's text; false when the
    // user cancelled.
    bool OfferToSave();
    int ButtonHeight() const;
    void Layout();

    NoteCallback* callback_ = nullptr;   // borrowed from the note
    DButton buttons_[kButtons];
    int buttonCount_ = 0;
    HWND edit_ = nullptr;                // control id 1
    HWND list_ = nullptr;                // control id 2
    DWORD selectedKey_ = 0;
    bool hasSelection_ = false;
    int width_ = 0, height_ = 0, buttonHeight_ = 0, buttonWidth_ = 0;
};

// The note of an image view is one of these (SnimokNote, the viewer's).
class NoteSnimokWnd : public DWindow, public SnimokNote {
public:
    static constexpr const wchar_t* kClassName = L"NoteSnimok";
    static constexpr int kTemplateNameChars = 256;
    // What the edit field takes: as much as the database stores and reads
    // back whole (notes::kLongTextChars).
    static constexpr int kEditLimit = 32768;
    enum Button { kExit, kSave, kTemplate, kPrint };

    NoteSnimokWnd();
    ~NoteSnimokWnd() override;
    NoteSnimokWnd(const NoteSnimokWnd&) = delete;
    NoteSnimokWnd& operator=(const NoteSnimokWnd&) = delete;

    // False when the window exists, the placement cannot be had, or the note
    // cannot be loaded (the window is then destroyed). Throws DODBErrors.
    bool Create(HWND owner, bool editable, DWORD imageKey, DWORD patientKey) override;
    // Saves an editable note's changes with asking, then loads the other
    // image; on failure the window is destroyed. Throws DODBErrors.
    bool ChangeSnimok(DWORD imageKey, DWORD patientKey);
    // Offers an edited note for saving and destroys the window.
    void Destroy() override;
    HWND GetHwnd() const override { return DWindow::GetHwnd(); }

    // The commands. Save with `ask` shows the question first; true when the
    // note was written. Throw DODBErrors.
    bool Save(bool ask);
    void Exit();
    void SaveAndClose();
    void Print();
    void ToggleProtect();
    void ApplyTemplate(DWORD templateKey, BOOL keyGiven);
    void ApplyDefaultTemplate();
    void OpenTemplateEditor();
    // Whether the description or the protect flag differ from the loaded ones.
    bool IsChanged() const;

    bool IsEditable() const { return editable_; }
    DWORD GetImageId() const { return imageKey_; }
    DWORD GetPatientId() const { return patientKey_; }
    HWND GetEdit() const { return edit_; }
    DButton* GetButton(Button which);
    DButton* GetProtectButton() { return &protect_; }
    bool HasTemplate() const { return hasTemplate_ != 0; }
    DWORD TemplateKey() const { return templateKey_; }
    const wchar_t* TemplateName() const { return templateName_; }
    TNoteSnimokWnd& Editor() { return editor_; }
    int HeaderTop() const { return headerTop_; }
    int HeaderTextHeight() const { return headerTextHeight_; }

    static bool RegisterClass();
    static void UnregisterClass();

    DMessageMap* GetMessageMap() override { return &messageMap; }
    static DMessageMap messageMap;

private:
    class Link : public NoteCallback {
    public:
        explicit Link(NoteSnimokWnd* note) : note_(note) {}
        void ApplyTemplate(DWORD templateKey, BOOL keyGiven) override { note_->ApplyTemplate(templateKey, keyGiven); }
        HWND NoteWindow() override { return note_->GetHwnd(); }

    private:
        NoteSnimokWnd* note_;
    };

    static void OnButtonClicked(void* cookie, DButton* button);
    static void OnButtonRightClicked(void* cookie, DButton* button);
    static void OnButtonHover(void* cookie, DButton* button);
    static void OnButtonKey(void* cookie, DButton* button, WPARAM key, LPARAM data);
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

public:
    // Message handlers (the map's entries).
    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    void OnGetMinMaxInfo(LPARAM info);
    void OnSetFocus(WPARAM previous);
    void OnClose();
    void OnFontChanged(WPARAM notice);

private:
    // Runs a command with its database errors shown; the window may be gone after.
    template <class F> void Guarded(F f);
    bool Load();                   // false (after a message) when the row is gone
    // 1 saved, 0 nothing changed or the user said No, -1 refused as too long.
    int SaveStep(bool ask, HWND promptOwner);
    void ShowProtect(bool on);
    void ForgetChanges();
    void Layout();
    int ButtonHeight() const;

    HWND edit_ = nullptr;
    HBRUSH headerBrush_ = nullptr;
    DButton buttons_[4];
    Button buttonKinds_[4] = {};
    int buttonCount_ = 0;
    DButton protect_;
    bool editable_ = false;
    DWORD imageKey_ = 0, patientKey_ = 0;
    LONG protectValue_ = 0;        // as loaded
    LONG hasTemplate_ = 0;
    DWORD templateKey_ = 0;
    wchar_t templateName_[kTemplateNameChars + 1] = {};
    int templateNameLength_ = 0;
    int width_ = 0, height_ = 0, buttonHeight_ = 0, buttonWidth_ = 0, headerTop_ = 0, headerTextHeight_ = 0;
    Link link_;
    TNoteSnimokWnd editor_;
};

// The main patient window's global note.
NoteSnimokWnd& GlobalSnimokNote();
// The global note changes to the image, or is created read-only over the
// main patient window. Throws DODBErrors.
void ShowSnimokNote(DWORD imageKey, DWORD patientKey);
// Destroys the global note when it exists.
void CloseSnimokNote();
// The owner the global note is created over (the main patient window's
// handle once it exists); null until set.
void SetSnimokNoteOwner(HWND owner);

// The diagnosis templates as a popup menu at the screen point; the chosen
// template's text replaces the image's description at once. TemplateMenu
// throws DODBErrors; SetNoteFromTemplateMenu (the image panel's) shows them.
void TemplateMenu(HWND owner, DWORD imageKey, int x, int y);
void SetNoteFromTemplateMenu(HWND owner, DWORD imageKey, int x, int y);

// How a note's Print button prints: the default print job of the description
// for the image and patient keys, which printing installs in the program
// (printing/programservices.cpp). Without it (the shell alone, as in its own
// tests) the button says that the command is not available. Returns the
// previous function.
typedef void (*NotePrintFunction)(HWND owner, DWORD imageKey, DWORD patientKey);
NotePrintFunction SetNotePrintFunction(NotePrintFunction function);
