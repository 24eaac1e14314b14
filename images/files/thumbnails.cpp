// The thumbnail writer: see thumbnails.h.
#include "images/files/thumbnails.h"

#include "foundation/journal.h"
#include "images/files/datafolders.h"
#include "images/pixels/imagescaler.h"
#include "images/files/savefaults.h"

#include <math.h>
#include <string.h>

namespace {

int FitCount(double length, double factor)
{
    double n = trunc(length / factor);
    if (!(n >= 1.0))
        return 1;           // a sliver of a picture still has one row or column
    return n > kIconSide ? kIconSide : (int)n;
}

}  // namespace

DPageBuffer::~DPageBuffer()
{
    if (block)
        VirtualFree(block, 0, MEM_RELEASE);
}

void* DPageBuffer::Alloc(size_t size)
{
    if (!block)
        block = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    return block;
}

bool ComputeIconFit(int width, int height, double scale, IconFit& fit)
{
    if (width <= 0 || height <= 0)
        return false;
    const double w = width, h = height;
    if (scale == -1.0) {
        fit.factor = w / kIconSide;
        fit.columns = kIconSide;
        fit.rows = FitCount(h, fit.factor);
        return true;
    }
    if (scale == -2.0) {
        fit.factor = h / kIconSide;
        fit.rows = kIconSide;
        fit.columns = FitCount(w, fit.factor);
        return true;
    }
    // Fit all is the zoom 1.0; so is a scale that is no zoom at all (0, a
    // negative value, not a number), which would divide by zero or flip the fit.
    double s = scale;
    if (s == -3.0 || !(s > 0.0) || !isfinite(s))
        s = 1.0;
    if (width < height) {
        fit.factor = (h / kIconSide) / s;
        fit.rows = kIconSide;
        fit.columns = FitCount(w, fit.factor);
    } else {
        fit.factor = (w / kIconSide) / s;
        fit.columns = kIconSide;
        fit.rows = FitCount(h, fit.factor);
    }
    return true;
}

bool RenderIcon(uint8_t* out, const uint16_t* work, int width, int height, int centreX, int centreY, double scale,
                const uint8_t* lut)
{
    IconFit fit;
    if (!work || !lut || !ComputeIconFit(width, height, scale, fit))
        return false;
    ImageScaler scaler;
    scaler.SetSource(work, width, height);
    scaler.SetDefaultMode();
    scaler.SetParam(lut);
    scaler.SetFlag(1);
    if (!scaler.Resize(fit.columns, fit.rows) || !scaler.SetSize(fit.factor, centreX, centreY))
        return false;
    scaler.BuildTables();
    scaler.Render(0, 0, fit.columns, fit.rows);

    memset(out, 0, kIconBytes);
    int column = 0, row = 0;
    if (fit.columns > fit.rows)
        row = (kIconSide - fit.rows) / 2;
    else
        column = (kIconSide - fit.columns) / 2;
    const uint8_t* from = scaler.GetBits();
    const int stride = scaler.GetStride();
    for (int y = 0; y < fit.rows; ++y)
        memcpy(out + (size_t)(row + y) * kIconSide + column, from + (size_t)y * stride, fit.columns);
    return true;
}

bool StoreIcon(const wchar_t* fileName, const uint16_t* work, int width, int height, int centreX, int centreY,
               double scale, const uint8_t* lut)
{
    wchar_t path[MAX_PATH], temp[MAX_PATH];
    if (!fileName || !BuildDataFilePath(path, IconFolder, fileName, L".thb") ||
        !BuildDataFilePath(temp, IconFolder, fileName, L".thb.tmp")) {
        LogError(GetLastError(), L"Error create icon file");
        return false;
    }
    DWORD code = 0;
    HANDLE file = SaveStepFails(SaveStep::CreateIconFile, &code)
                      ? INVALID_HANDLE_VALUE
                      : CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        LogError(GetLastError(), L"Error create icon file");
        return false;
    }

    bool written = false;
    try {
        DPageBuffer buffer;
        uint8_t* pixels = static_cast<uint8_t*>(buffer.Alloc(kIconBytes));
        if (pixels && RenderIcon(pixels, work, width, height, centreX, centreY, scale, lut)) {
            DWORD done = 0;
            if (SaveStepFails(SaveStep::WriteIconFile, &code))
                written = false;
            else
                written = WriteFile(file, pixels, kIconBytes, &done, nullptr) && done == kIconBytes;
        }
    } catch (...) {
        JournalWrite(kJournalCatApplication, 0, L"Store icon, unhandled exception");
        written = false;
    }
    CloseHandle(file);

    if (written && !MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING)) {
        LogError(GetLastError(), L"Error create icon file");
        written = false;
    }
    if (!written && !DeleteFileW(temp))
        LogError(GetLastError(), L"Error delete icon file");
    return written;
}
