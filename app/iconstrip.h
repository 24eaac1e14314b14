// IconStrip: the X-ray images of one patient as a column of thumbnail cells,
// newest first, under a scroll bar across the strip's top.
//
// The strip is no window of its own: it lives in a parent window (the main
// patient window, the "IconsBar" window), owns a DScroll and one IconSnimok
// per visible row, keeps the patient's IconRecords, and tells its owner what
// the user asks for through IconStripOwner.
//
// States: not created (no parent) -> created (Create) -> laid out (Layout,
// again at every resize of the parent) -> loaded with a patient (LoadPatient;
// Reload after a cell command changed the data) -> cleared (Clear) ->
// destroyed (Destroy). Row cells exist between one Layout and the next (or
// Destroy); records exist only while the loaded flag is set.
//
// Invariants:
// - the scroll bar's maximum is the record count, its page the row count and
//   its position the index of the record in the first row, always as the
//   scroll bar clamped it (position + page never passes the maximum);
// - row i shows record position + i when there is one, else nothing: a row
//   is never bound past the last record;
// - records are freed only after every row has been unbound from them.
#pragma once

#include "images/files/iconrecord.h"
#include "ui/scroll.h"

#include <windows.h>

#include <memory>
#include <vector>

class IconSnimok;

// What the strip's parent window does for it.
class IconStripOwner {
public:
    // The user asked to open an image.
    virtual int OpenImage(DWORD imageKey, const wchar_t* fileName) = 0;
    // The user asked for an image's description.
    virtual void ShowNote(DWORD imageKey, DWORD patientKey) = 0;
    // A key that the cells did not use; the result goes back to the cell.
    virtual int OnKey(WPARAM key) = 0;
    // The strip now holds that many images (0 after Clear).
    virtual void ImagesCounted(int count) = 0;

protected:
    ~IconStripOwner() {}
};

class IconStrip {
public:
    static constexpr int kScrollHeight = 20;
    static const wchar_t kImageSql[];

    IconStrip();
    ~IconStrip();
    IconStrip(const IconStrip&) = delete;
    IconStrip& operator=(const IconStrip&) = delete;

    // 0 when the strip has a parent already (or the scroll bar fails).
    int Create(HWND parent, IconStripOwner* owner, void* cookie);
    // 0 before Create, or when a row cannot be made (the strip then has no rows).
    int Layout(int x, int y, int width, int height);
    // Runs the image query for the patient; throws DODBErrors.
    int LoadPatient(DWORD patientKey);
    // The same patient again, keeping the position as far as it still fits;
    // 0 unless a patient is loaded. Throws DODBErrors.
    int Reload();
    int Clear();
    void SetFocus();
    void Destroy();

    // ---- what the cells call ----
    // The owner opens the image; the mouse and key input made until it is
    // done is dropped, so clicks queued meanwhile open nothing more.
    int CellOpen(DWORD imageKey, const wchar_t* fileName);
    int CellReload();
    void CellShowNote(DWORD imageKey);
    HWND CellParent() const { return parent_; }
    int CellKey(int row, WPARAM key);

    // ---- read-outs ----
    bool IsCreated() const { return parent_ != nullptr; }
    bool IsLoaded() const { return loaded_; }
    DWORD PatientKey() const { return patientKey_; }
    int RowCount() const { return (int)rows_.size(); }
    int RecordCount() const { return (int)records_.size(); }
    IconRecord* Record(int index) const;
    IconSnimok* Row(int row) const;
    DScroll& Scroll() { return scroll_; }
    int Position() const { return scroll_.GetPos(); }
    int CellHeight() const { return cellHeight_; }

private:
    static void OnScrollPosition(void* cookie, DScroll* bar, int position);

    void Query(DWORD patientKey, std::vector<std::unique_ptr<IconRecord>>& out);
    void BindRows(int first);
    void UnbindRows();
    void FreeRecords();
    void DestroyRows();
    void SetScrollValues(int maximum, int position);

    HWND parent_ = nullptr;
    DScroll scroll_;
    DScrollNotify scrollNotify_ = {};
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    int scrollHeight_ = 0;
    int cellWidth_ = 0, cellHeight_ = 0;
    std::vector<std::unique_ptr<IconSnimok>> rows_;
    std::vector<std::unique_ptr<IconRecord>> records_;   // index 0 = newest
    bool loaded_ = false;
    DWORD patientKey_ = 0;
    IconStripOwner* owner_ = nullptr;
    void* cookie_ = nullptr;
    bool needsBinding_ = false;   // set around a scroll-bar change whose callback may bind
};
