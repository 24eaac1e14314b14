// The process-wide wait cursor.
//
// Begin and End nest: only the outermost Begin shows the wait cursor and only
// the matching End puts back the cursor it replaced. The cursor is the
// animated "Cursors\Wait.ani" of the description folder when that file loads,
// else the system's hourglass; whichever is found first is kept for the rest
// of the run (the file is looked for once). Only a cursor loaded from the file
// is ever destroyed: the hourglass is a shared system cursor.
#pragma once

#include <windows.h>

class DWaitCursor {
public:
    DWaitCursor() = default;
    ~DWaitCursor() { DestroyCursor(); }
    DWaitCursor(const DWaitCursor&) = delete;
    DWaitCursor& operator=(const DWaitCursor&) = delete;

    void Begin();
    void End();
    // Destroys the cursor loaded from the file, if any (at exit).
    void DestroyCursor();

    int Depth() const { return depth_; }
    HCURSOR Cursor() const { return waitCursor_; }
    bool FromFile() const { return ownsCursor_; }

private:
    HCURSOR waitCursor_ = nullptr;       // null until the first Begin
    HCURSOR previousCursor_ = nullptr;   // what the outermost Begin replaced
    int depth_ = 0;
    bool ownsCursor_ = false;            // loaded from the file: destroyed here
};

// The program's one wait cursor.
extern DWaitCursor gWaitCursor;
