#include "ui/wait_cursor.h"

#include "foundation/globals.h"

#include <wchar.h>

DWaitCursor gWaitCursor;

namespace {
const wchar_t kWaitFile[] = L"Cursors\\Wait.ani";
const size_t kPathCapacity = 259;   // the path buffer, terminator included
}

void DWaitCursor::Begin()
{
    if (++depth_ != 1)
        return;
    if (!waitCursor_) {
        // A description folder too long for the buffer is not cut short into
        // some other path: the file is then simply not looked for.
        wchar_t path[kPathCapacity];
        size_t folder = wcsnlen(CfgFolder, MAX_PATH);
        size_t name = wcslen(kWaitFile);
        if (folder < MAX_PATH && folder + name < kPathCapacity) {
            wmemcpy(path, CfgFolder, folder);
            wmemcpy(path + folder, kWaitFile, name + 1);
            waitCursor_ = static_cast<HCURSOR>(LoadImageW(nullptr, path, IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
            ownsCursor_ = waitCursor_ != nullptr;
        }
        if (!waitCursor_)
            waitCursor_ = LoadCursorW(nullptr, IDC_WAIT);
    }
    previousCursor_ = SetCursor(waitCursor_);
}

void DWaitCursor::End()
{
    if (depth_ <= 0)
        return;
    if (--depth_ == 0)
        SetCursor(previousCursor_);
}

void DWaitCursor::DestroyCursor()
{
    if (waitCursor_ && ownsCursor_)
        ::DestroyCursor(waitCursor_);
    if (ownsCursor_) {
        waitCursor_ = nullptr;
        ownsCursor_ = false;
    }
}
