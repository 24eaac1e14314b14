#include "images/pixels/imagescaler.h"

#include "images/pixels/pixmem.h"

#include <string.h>

namespace {

void TableRow(const uint16_t* __restrict src, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = lut[src[i]];
}

void NearestRow(const uint16_t* __restrict row, const uint32_t* __restrict cols, const uint8_t* __restrict lut,
                uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i)
        out[i] = lut[row[cols[i]]];
}

void BilinearRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const uint32_t* __restrict cols,
                 const uint16_t* __restrict fxs, uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out,
                 int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t sx = cols[i], fx = fxs[i];
        const uint32_t p00 = r0[sx], p01 = r0[sx + 1], p10 = r1[sx], p11 = r1[sx + 1];
        const uint32_t a = (p00 << 8) + fx * (p01 - p00);
        const uint32_t b = (p10 << 8) + fx * (p11 - p10);
        out[i] = lut[(fy * (b - a) + (a << 8)) >> 16];
    }
}

// Remainders: interpolate toward the one neighbour that exists, so that a
// zero fraction gives the pixel itself.
void DownRow(const uint16_t* __restrict r0, const uint16_t* __restrict r1, const uint32_t* __restrict cols,
             uint32_t fy, const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t p00 = r0[cols[i]], p10 = r1[cols[i]];
        out[i] = lut[((p00 << 8) + fy * (p10 - p00)) >> 8];
    }
}

void AcrossRow(const uint16_t* __restrict r0, const uint32_t* __restrict cols, const uint16_t* __restrict fxs,
               const uint8_t* __restrict lut, uint8_t* __restrict out, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t p00 = r0[cols[i]], p01 = r0[cols[i] + 1];
        out[i] = lut[((p00 << 8) + fxs[i] * (p01 - p00)) >> 8];
    }
}

inline int Min(int a, int b)
{
    return a < b ? a : b;
}

inline int Max(int a, int b)
{
    return a > b ? a : b;
}

} // namespace

ImageScaler::ImageScaler()
    : interpolate(0), alignment(0), zoom(1.0), tablesBuilt(0), columnIndex(nullptr), rowIndex(nullptr),
      columnFraction(nullptr), rowFraction(nullptr), tableBlock(nullptr), tableColumns(0), tableRows(0), columns(0),
      rows(0), rowLength(0), scaledWidth(0), scaledHeight(0), firstColumn(0), firstRow(0), centreColumn(0),
      centreRow(0), centreX(0), centreY(0), sourceWidth(0), sourceHeight(0), output(nullptr), source(nullptr),
      table(nullptr)
{
}

ImageScaler::~ImageScaler()
{
    Clear();
}

void ImageScaler::Clear()
{
    FreeOutput();
    FreeTables();
    zoom = 1.0;
    columns = rows = rowLength = 0;
    scaledWidth = scaledHeight = 0;
}

void ImageScaler::FreeTables()
{
    PixelFree(tableBlock);
    tableBlock = nullptr;
    columnIndex = rowIndex = nullptr;
    columnFraction = rowFraction = nullptr;
    tableColumns = tableRows = 0;
    tablesBuilt = 0;
}

void ImageScaler::SetSource(const uint16_t* pixels, int width, int height)
{
    source = pixels;
    sourceWidth = width;
    sourceHeight = height;
}

void ImageScaler::SetParam(const uint8_t* lut)
{
    table = lut;
}

void ImageScaler::SetDefaultMode(int)
{
    alignment = 4;
}

void ImageScaler::SetFlag(int on)
{
    interpolate = on;
}

bool ImageScaler::Resize(int c, int r)
{
    FreeOutput();
    columns = c;
    rows = r;
    return AllocOutput();
}

bool ImageScaler::AllocOutput()
{
    if (columns <= 0 || rows <= 0)
        return false;
    rowLength = alignment >= 2 ? (columns + alignment - 1) / alignment * alignment : columns;
    output = static_cast<uint8_t*>(PixelAlloc((size_t)rowLength * (size_t)rows));
    return output != nullptr;
}

void ImageScaler::FreeOutput()
{
    PixelFree(output);
    output = nullptr;
}

bool ImageScaler::SetSize(double z, int cx, int cy)
{
    // A zoom that is not a positive number places nothing; one so small that
    // the scaled source would not fit an integer is held at that limit.
    if (!(z > 0.0) || !(z < 1e300))
        return false;
    const int side = sourceWidth > sourceHeight ? sourceWidth : sourceHeight;
    if (side > 0 && z < side / (double)(1 << 30))
        z = side / (double)(1 << 30);
    centreX = cx;
    centreY = cy;
    if (z != 1.0) {
        // The block follows the output size: one made for a smaller output
        // would be filled past its end.
        if (!tableBlock || tableColumns != columns || tableRows != rows) {
            FreeTables();
            const size_t entries = (size_t)Max(columns, 0) + (size_t)Max(rows, 0);
            tableBlock = PixelAlloc(entries * 6);
            if (!tableBlock)
                return false;
            columnIndex = static_cast<uint32_t*>(tableBlock);
            rowIndex = columnIndex + columns;
            columnFraction = reinterpret_cast<uint16_t*>(rowIndex + rows);
            rowFraction = columnFraction + columns;
            tableColumns = columns;
            tableRows = rows;
        }
        zoom = z;
        scaledWidth = (int)(sourceWidth / z);
        scaledHeight = (int)(sourceHeight / z);
    } else {
        FreeTables();
        zoom = 1.0;
        scaledWidth = sourceWidth;
        scaledHeight = sourceHeight;
    }
    // A centre far off the picture only pushes the window to its edge.
    auto scaled = [this](int c) {
        const double v = c / zoom;
        return v > (double)(1 << 30) ? (1 << 30) : v < -(double)(1 << 30) ? -(1 << 30) : (int)v;
    };
    centreColumn = scaled(cx);
    centreRow = scaled(cy);
    firstColumn = centreColumn - columns / 2;
    if (firstColumn + columns > scaledWidth)
        firstColumn = scaledWidth - columns;
    if (firstColumn < 0)
        firstColumn = 0;
    firstRow = centreRow - rows / 2;
    if (firstRow + rows > scaledHeight)
        firstRow = scaledHeight - rows;
    if (firstRow < 0)
        firstRow = 0;
    return true;
}

void ImageScaler::BuildTables()
{
    if (zoom == 1.0 || !tableBlock)
        return;
    auto build = [this](uint32_t* index, uint16_t* fraction, int count, int first, int limit) {
        for (int i = 0; i < count; ++i) {
            int64_t v = (int64_t)((i + first) * zoom * 256);
            int64_t s = v >> 8;
            uint16_t f = (uint16_t)(v & 255);
            if (s >= limit) {
                s = limit - 1;
                f = 0;
            }
            index[i] = (uint32_t)(s < 0 ? 0 : s);
            fraction[i] = f;
        }
    };
    build(columnIndex, columnFraction, columns, firstColumn, sourceWidth);
    build(rowIndex, rowFraction, rows, firstRow, sourceHeight);
    tablesBuilt = 1;
}

bool ImageScaler::Ready() const
{
    return output && source && table && sourceWidth > 0 && sourceHeight > 0 && (zoom == 1.0 || tablesBuilt);
}

bool ImageScaler::ClipOutput(int& left, int& top, int& right, int& bottom) const
{
    left = Max(left, 0);
    top = Max(top, 0);
    right = Min(right, columns);
    bottom = Min(bottom, rows);
    return left < right && top < bottom;
}

void ImageScaler::Render(int left, int top, int right, int bottom)
{
    if (!Ready())
        return;
    if (zoom == 1.0)
        RenderDirect(left, top, right, bottom);
    else if (interpolate)
        RenderInterpolated(left, top, right, bottom);
    else
        RenderNearest(left, top, right, bottom);
}

void ImageScaler::ConvertAll()
{
    Render(0, 0, columns, rows);
}

void ImageScaler::RenderDirect(int left, int top, int right, int bottom)
{
    if (!ClipOutput(left, top, right, bottom))
        return;
    // An output larger than the source stays 0 where there is no source pixel.
    const int sx = left + firstColumn;
    const int n = Min(right, sourceWidth - firstColumn) - left;
    for (int y = top; y < bottom; ++y) {
        uint8_t* out = output + (size_t)y * rowLength + left;
        const int sy = y + firstRow;
        if (sy >= sourceHeight || n <= 0) {
            memset(out, 0, (size_t)(right - left));
            continue;
        }
        TableRow(source + (size_t)sy * sourceWidth + sx, table, out, n);
        if (n < right - left)
            memset(out + n, 0, (size_t)(right - left - n));
    }
}

void ImageScaler::RenderNearest(int left, int top, int right, int bottom)
{
    if (!Ready() || zoom == 1.0 || !ClipOutput(left, top, right, bottom))
        return;
    for (int y = top; y < bottom; ++y)
        NearestRow(source + (size_t)rowIndex[y] * sourceWidth, columnIndex + left, table,
                   output + (size_t)y * rowLength + left, right - left);
}

void ImageScaler::RenderInterpolated(int left, int top, int right, int bottom)
{
    if (!Ready() || zoom == 1.0 || !ClipOutput(left, top, right, bottom))
        return;
    // Interpolated columns and rows end where the scaled source ends (less k)
    // and, in any case, where the right or lower neighbour would lie outside
    // the source: below a zoom of 0.5 the first limit alone lets the last
    // sample reach past the raster.
    const int k = zoom < 1.0 ? 1 : (int)zoom;
    int xe = Max(left, Min(right, scaledWidth - k - firstColumn));
    int ye = Max(top, Min(bottom, scaledHeight - k - firstRow));
    while (xe > left && columnIndex[xe - 1] + 1 >= (uint32_t)sourceWidth)
        --xe;
    while (ye > top && rowIndex[ye - 1] + 1 >= (uint32_t)sourceHeight)
        --ye;
    for (int y = top; y < bottom; ++y) {
        const uint16_t* r0 = source + (size_t)rowIndex[y] * sourceWidth;
        uint8_t* out = output + (size_t)y * rowLength;
        if (y < ye) {
            const uint16_t* r1 = r0 + sourceWidth;
            BilinearRow(r0, r1, columnIndex + left, columnFraction + left, rowFraction[y], table, out + left,
                        xe - left);
            DownRow(r0, r1, columnIndex + xe, rowFraction[y], table, out + xe, right - xe);
        } else {
            AcrossRow(r0, columnIndex + left, columnFraction + left, table, out + left, xe - left);
            NearestRow(r0, columnIndex + xe, table, out + xe, right - xe);
        }
    }
}
