// Thumbnails in the image strip: the record of one image's thumbnail, its
// states and their captions and colours, and the two drawing blocks shared by
// every record.
//
// A record in state -1 has a thumbnail to show: its pixels are read from the
// ".thb" at its first paint and kept; when that fails the record shows the
// red "Error Reading Icon" caption and tries again at the next paint. The
// other states show a caption instead of pixels.
#pragma once

#include <windows.h>
#include <stdint.h>

// Rows of the state table.
enum IconStateRow : int {
    kIconRowArchived = 0,   // "Archived"
    kIconRowError = 1,      // "Error Reading Icon"
    kIconRowRemoved = 2,    // "Removed"
    kIconRowEmpty = 3,      // "Empty"
    kIconStateRows = 4
};

// Values of IconRecord::state.
const int kIconStateShow = -1;
const int kIconStateArchived = 1;
const int kIconStateRemoved = 2;

struct IconStateInfo {
    UINT stringId;
    const wchar_t* valueName;   // under the settings key "IconParam"
    COLORREF defaultColor;
};
extern const IconStateInfo kIconStates[kIconStateRows];

// The caption (at most 63 characters) and colour of a row.
const wchar_t* IconStateCaption(int row);
COLORREF IconStateColor(int row);

// Loads the captions from the string table and, when the key is open, each
// row's colour from its DWORD value (the default when absent).
void LoadIconStates(HKEY key);
// Inserts the four captions into the menu before the item `itemTemplate`
// (by command), with the identifiers template + 1 to template + 4; returns 4.
int AddIconStateMenuItems(HMENU menu, UINT itemTemplate);
// Lets the user choose a row's colour; true when a different one was chosen
// and written under the key. False for rows outside 0..3.
bool ChooseIconStateColor(HKEY key, HWND owner, int row);
// Fills the rectangle with the background and draws "Empty" in its colour,
// centred on one line.
void DrawIconStateText(HDC dc, int x, int y, int width, int height, COLORREF background);

// The two 8-bit BITMAPINFO blocks (grey and inverted palette) for the 192 x
// 192 top-down thumbnails, in one heap block of 2,144 bytes.
bool InitIconBitmapInfo();
void FreeIconBitmapInfo();
const BITMAPINFO* IconBitmapInfo(bool negative);

class IconRecord
{
public:
    IconRecord();
    ~IconRecord();          // frees the pixels; state 0
    IconRecord(const IconRecord&) = delete;
    IconRecord& operator=(const IconRecord&) = delete;

    bool AllocBuffer();     // 36,864 bytes of pages
    void FreeBuffer();
    void FreeBits();        // frees when present
    void SetDate(DWORD low, DWORD high);
    void SetFileName(const wchar_t* name);

    // Reads "<icon folder><file name>.thb" when there are no pixels; on any
    // failure the pixels stay null and the state as it was.
    void LoadIcon();
    // Draws the thumbnail at (x, y), or the state's caption on the background.
    void Draw(HDC dc, int x, int y, int width, int height, COLORREF background);

    int state;              // -1 show the thumbnail, 1 archived, 2 removed, else empty
    int negative;           // non-zero: inverted palette
    wchar_t fileName[32];   // the image's file name (21 characters)
    FILETIME date;          // the image date
    uint8_t* pixels;        // 36,864 bytes, or null

    // What the patient's image strip keeps beside the thumbnail.
    int32_t key;            // [Snimok] of the image
    int32_t noteLength;     // DATALENGTH([Apicriz]) in bytes; 0 without a description
    wchar_t numberText[16]; // the 1-based position in the strip, "%i "
    int32_t numberLength;   // characters of numberText
};
