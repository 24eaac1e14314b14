#include "app/iconstrip.h"

#include "app/iconsnimok.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"

#include <stdio.h>
#include <string.h>

const wchar_t IconStrip::kImageSql[] =
    L"SELECT [Snimok], [Date file], [File name], [Disk], [Negativ], DATALENGTH( [Apicriz] ) FROM Snimok "
    L"WHERE Patient=? ORDER BY [date file] DESC;";

namespace {

// Whether input stamped `messageTime` was made by `tick` (both tick counts,
// which wrap every 49.7 days).
bool MadeBy(DWORD messageTime, DWORD tick)
{
    return static_cast<LONG>(messageTime - tick) <= 0;
}

// The thread does nothing else while an image opens, so the clicks and keys
// made meanwhile wait in its queue: the rest of an impatient double or triple
// click, each of which would open the image again, aimed at a strip the
// panel has covered since. They are dropped, oldest first, up to the first
// input made after the open, which stays. The bound only guards against a
// message that cannot be removed.
void DropInputMadeBy(DWORD tick)
{
    static const UINT kRanges[][2] = {{WM_MOUSEFIRST, WM_MOUSELAST}, {WM_KEYFIRST, WM_KEYLAST}};
    for (const auto& range : kRanges) {
        MSG msg;
        for (int n = 0; n < 1000 && PeekMessageW(&msg, nullptr, range[0], range[1], PM_NOREMOVE) &&
                        MadeBy(msg.time, tick);
             ++n)
            PeekMessageW(&msg, nullptr, range[0], range[1], PM_REMOVE);
    }
}

}  // namespace

IconStrip::IconStrip()
{
    scrollNotify_.settled = &IconStrip::OnScrollPosition;
    scrollNotify_.tracking = &IconStrip::OnScrollPosition;
}

IconStrip::~IconStrip()
{
    Destroy();
}

int IconStrip::Create(HWND parent, IconStripOwner* owner, void* cookie)
{
    if (parent_ || !parent)
        return 0;
    owner_ = owner;
    cookie_ = cookie;
    needsBinding_ = false;
    DScrollDesc desc = {};
    desc.style = DScrollStyle::kVisible;
    desc.cookie = this;
    desc.parent = parent;
    desc.width = 1;
    desc.height = 1;
    desc.instance = GetModuleHandleW(nullptr);
    desc.mask = DScrollMask::kMin | DScrollMask::kMax | DScrollMask::kPos | DScrollMask::kPage;
    desc.notify = &scrollNotify_;
    if (!scroll_.Create(&desc))
        return 0;
    parent_ = parent;
    cellWidth_ = IconSnimok::CellWidth();
    cellHeight_ = IconSnimok::CellHeight();
    return 1;
}

int IconStrip::Layout(int x, int y, int width, int height)
{
    if (!parent_)
        return 0;
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    scrollHeight_ = height < kScrollHeight ? (height > 0 ? height : 0) : kScrollHeight;
    scroll_.Move(x, y, width, scrollHeight_, TRUE);
    DestroyRows();

    // The cells size themselves from the caption font now in force (the
    // settings may have loaded a taller one since the strip was made): lay
    // the rows out by the same height, so that they never overlap.
    cellWidth_ = IconSnimok::CellWidth();
    cellHeight_ = IconSnimok::CellHeight();
    const int count = cellHeight_ > 0 ? (height - scrollHeight_) / cellHeight_ : 0;
    if (count <= 0) {
        SetScrollValues((int)records_.size(), scroll_.GetPos());
        return 1;
    }
    try {
        rows_.reserve(count);
        for (int n = 0; n < count; ++n) {
            std::unique_ptr<IconSnimok> cell(new IconSnimok);
            IconCellPlacement placement = {parent_, this, IconSnimok::kVisible, x,
                                           y + scrollHeight_ + n * cellHeight_, width, cellHeight_};
            if (!cell->Create(placement, n)) {
                DestroyRows();
                return 0;
            }
            rows_.push_back(std::move(cell));
        }
    } catch (const std::bad_alloc&) {
        DestroyRows();
        return 0;
    }
    SetScrollValues((int)records_.size(), scroll_.GetPos());
    return 1;
}

void IconStrip::SetScrollValues(int maximum, int position)
{
    DScrollInfo info = {DScrollMask::kMax | DScrollMask::kPage | DScrollMask::kPos, 0, maximum, 0,
                        (int)rows_.size()};
    info.position = position < 0 ? 0 : position;
    needsBinding_ = true;
    scroll_.SetInfo(&info);
    // The callback binds when the scroll bar moved the position; otherwise
    // bind here, from the position as the scroll bar now holds it.
    if (needsBinding_)
        BindRows(scroll_.GetPos());
}

void IconStrip::OnScrollPosition(void* cookie, DScroll*, int position)
{
    IconStrip* self = static_cast<IconStrip*>(cookie);
    self->BindRows(position);
}

void IconStrip::BindRows(int first)
{
    needsBinding_ = false;
    const int records = (int)records_.size();
    for (int i = 0; i < (int)rows_.size(); ++i) {
        const int index = first + i;
        if (index >= 0 && index < records)
            rows_[i]->Bind(records_[index].get(), index);
        else
            rows_[i]->Bind(nullptr, index);
    }
}

void IconStrip::UnbindRows()
{
    for (auto& row : rows_)
        row->Bind(nullptr, 0);
}

void IconStrip::FreeRecords()
{
    UnbindRows();
    records_.clear();
}

void IconStrip::DestroyRows()
{
    for (auto& row : rows_)
        row->Destroy();
    rows_.clear();
}

void IconStrip::Query(DWORD patientKey, std::vector<std::unique_ptr<IconRecord>>& out)
{
    BoundStatement query(g_DbSession, kImageSql);
    if (!query.Params().SetValI4(1, (LONG)patientKey))
        ThrowDatabaseError();
    query.Execute();
    while (query.Next()) {
        DODBParams* row = query.Row();
        std::unique_ptr<IconRecord> record(new IconRecord);
        LONG value = 0;
        if (RowInt(row, 0, &value))
            record->key = value;
        FILETIME date;
        if (RowDate(row, 1, &date))
            record->SetDate(date.dwLowDateTime, date.dwHighDateTime);
        wchar_t name[22];
        RowText(row, 2, name, 22);
        record->SetFileName(name);
        if (!name[0]) {
            record->state = kIconStateRemoved;
        } else {
            LONG disk = 0;
            RowInt(row, 3, &disk);
            record->state = disk == 0 ? kIconStateArchived : kIconStateShow;
        }
        value = 0;
        RowInt(row, 4, &value);
        record->negative = value;
        value = 0;
        record->noteLength = RowInt(row, 5, &value) ? value : 0;
        out.push_back(std::move(record));
        const int n = _snwprintf(out.back()->numberText, 15, L"%i ", (int)out.size());
        out.back()->numberText[15] = 0;
        out.back()->numberLength = n < 0 ? 15 : n;
    }
    if (owner_)
        owner_->ImagesCounted((int)out.size());
}

int IconStrip::LoadPatient(DWORD patientKey)
{
    if (loaded_)
        FreeRecords();
    loaded_ = true;
    patientKey_ = patientKey;
    std::vector<std::unique_ptr<IconRecord>> fresh;
    Query(patientKey, fresh);   // on a throw the strip stays without records
    records_ = std::move(fresh);
    if (parent_)
        SetScrollValues((int)records_.size(), 0);
    return 1;
}

int IconStrip::Reload()
{
    if (!loaded_)
        return 0;
    int position = scroll_.GetPos();
    FreeRecords();
    std::vector<std::unique_ptr<IconRecord>> fresh;
    Query(patientKey_, fresh);
    records_ = std::move(fresh);
    const int count = (int)records_.size();
    if (position > count - 1)
        position = count - 1;
    if (position < 0)
        position = 0;
    if (parent_)
        SetScrollValues(count, position);
    return 1;
}

int IconStrip::Clear()
{
    if (loaded_) {
        FreeRecords();
        if (parent_)
            SetScrollValues(0, 0);
    }
    loaded_ = false;
    if (owner_)
        owner_->ImagesCounted(0);
    return 1;
}

void IconStrip::SetFocus()
{
    if (!rows_.empty() && rows_[0]->hwnd)
        ::SetFocus(rows_[0]->hwnd);
}

void IconStrip::Destroy()
{
    if (!parent_)
        return;
    DestroyRows();
    scroll_.Clear();
    records_.clear();
    loaded_ = false;
    parent_ = nullptr;
}

IconRecord* IconStrip::Record(int index) const
{
    return index >= 0 && index < (int)records_.size() ? records_[index].get() : nullptr;
}

IconSnimok* IconStrip::Row(int row) const
{
    return row >= 0 && row < (int)rows_.size() ? rows_[row].get() : nullptr;
}

int IconStrip::CellOpen(DWORD imageKey, const wchar_t* fileName)
{
    if (!owner_)
        return 0;
    const int opened = owner_->OpenImage(imageKey, fileName);
    DropInputMadeBy(GetTickCount());
    return opened;
}

int IconStrip::CellReload()
{
    return Reload();
}

void IconStrip::CellShowNote(DWORD imageKey)
{
    if (owner_)
        owner_->ShowNote(imageKey, patientKey_);
}

int IconStrip::CellKey(int row, WPARAM key)
{
    switch (key) {
    case VK_PRIOR:
        scroll_.PageUp();
        return 0;
    case VK_NEXT:
        scroll_.PageDown();
        return 0;
    case VK_UP:
        if (row == 0) {
            if (scroll_.GetPos() > 0)
                scroll_.LineUp();
        } else if (IconSnimok* above = Row(row - 1)) {
            ::SetFocus(above->hwnd);
        }
        return 0;
    case VK_DOWN:
        if (row == (int)rows_.size() - 1)
            scroll_.LineDown();
        else if (IconSnimok* below = Row(row + 1))
            ::SetFocus(below->hwnd);
        return 0;
    default:
        return owner_ ? owner_->OnKey(key) : 0;
    }
}
