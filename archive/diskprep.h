// DBDiskPreparation ("Disk Prepare"): prepares the archive disk in the drive
// for database backups. The user picks a reserve in megabytes and a number
// of copies; "Prepare" writes "diskcfg.ini" into the root of the archive
// drive (the first character of ArchivePath), listing the backup file name
// ("BackupDB" "File", "hospital.bak" by default) once per copy. The backup
// job accepts only disks that carry the file, and the archive worker keeps
// the reserve free. The reserve is the room of the backup files listed: on a
// disk filled with images up to it, the backup job writes the next backup
// into the old one's room (archive/arjbackup.cpp), and beside the old one
// only while the disk has room for both.
//
// The choices come from the template "d:\cfg\diskcfg.ini" (minreserv, step,
// nsteps, ncopies); without it the sizes 100, 200, 300, 500 (200 chosen) and
// one copy are offered.
//
// Prepare checks the choice and the disk's free space before it writes
// anything, and writes the new file beside the old one first: a disk keeps
// its old "diskcfg.ini" whole when preparing fails.
//
// Closed -> Run: created, shown, its own message loop (the owner stays
// enabled) -> Close or WM_CLOSE: destroyed -> the loop ends. One such window
// at a time: a second Run while one runs returns at once.
#pragma once

#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/gdi.h"
#include "ui/widgets.h"

#include <windows.h>

#include <string>

class DBDiskPreparation : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"DBDiskPreparation";
    static constexpr int kSizesId = 1;
    static constexpr int kCountsId = 2;
    static constexpr int kPrepareId = 100;
    static constexpr int kCloseId = 101;

    DBDiskPreparation() = default;
    ~DBDiskPreparation() override;

    static bool Register();
    static void Unregister();
    // Shows the window and runs its message loop until it is destroyed; 1.
    static int Run(HWND owner);
    // The window of the running Run, or null (for tests).
    static DBDiskPreparation* Running();
    // The template read for the choices; tests point it elsewhere. The text
    // must outlive its use; null restores "d:\cfg\diskcfg.ini".
    static void SetTemplatePath(const wchar_t* folder, const wchar_t* file);

    bool Create(HWND owner);
    DMessageMap* GetMessageMap() override { return &messageMap; }

    // "Prepare": writes "diskcfg.ini" for the selected reserve and count.
    void WriteReserveFiles();
    // Fills the two lists from the template (or the defaults).
    void LoadSettings();

    HWND SizesBox() const { return sizes_; }
    HWND CountsBox() const { return counts_; }
    HWND StatusBar() const { return statusBar_; }
    const std::wstring& StatusText() const { return statusText_; }
    const std::wstring& BackupFileName() const { return backupFile_; }
    DButton& PrepareButton() { return prepare_; }
    DButton& CloseButton() { return close_; }

private:
    static DMessageMap messageMap;
    static DMessageMapEntry entries[];
    static const DButtonNotify kButtonNotify;

    LRESULT OnCreate(HWND, LPARAM createStruct);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM type);
    void OnPaint();
    void OnClose();
    void SetStatus(UINT id);
    void Fail(UINT id);
    static void OnButtonClicked(void* cookie, DButton* button);

    HWND statusBar_ = nullptr;
    DrawnLabel sizesLabel_;      // "Reserve on disk (MB):"
    DrawnLabel countsLabel_;     // "Number of copies"
    HWND sizes_ = nullptr;       // reserve sizes, MB as item data
    HWND counts_ = nullptr;      // numbers of copies, as item data
    DButton prepare_;
    DButton close_;
    std::wstring targetFile_;    // "diskcfg.ini" below the archive drive's root
    DGdiObject<HFONT> font_;
    std::wstring backupFile_;    // "BackupDB" "File"
    std::wstring statusText_;
    bool live_ = false;
    // Layout metrics taken at creation.
    int scaledWidth_ = 0, scaledHeight_ = 0;
    int buttonWidth_ = 0, buttonHeight_ = 0, labelWidth_ = 0, labelHeight_ = 0, statusHeight_ = 0;
};
