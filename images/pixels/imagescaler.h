// ImageScaler: a 16-bit grey raster to an 8-bit raster of a given size
// through a 65,536-entry look-up table, at a zoom (source pixels per output
// pixel) around a centre, by nearest pixel or bilinear sampling in 8.8 fixed
// point. The thumbnail writer and the BMP export use it.
//
// Calling order: SetSource, SetDefaultMode, SetParam, SetFlag, Resize,
// SetSize, BuildTables, then Render or ConvertAll; GetBits and GetStride read
// the result. Every read stays inside the source raster, whatever the zoom,
// centre and output size: source positions past its edge take the edge pixel.
#pragma once

#include <stdint.h>

class ImageScaler
{
public:
    ImageScaler();
    ~ImageScaler();
    ImageScaler(const ImageScaler&) = delete;
    ImageScaler& operator=(const ImageScaler&) = delete;

    // Frees the output and the tables; zoom 1.0, sizes 0.
    void Clear();

    void SetSource(const uint16_t* pixels, int width, int height);  // not owned
    void SetParam(const uint8_t* table);                            // 65,536 entries, not owned
    void SetDefaultMode(int unused = 0);                            // rows aligned to 4 bytes
    void SetFlag(int interpolate);                                  // 1 bilinear, 0 nearest

    // Frees the output and allocates one of columns x rows (rows padded to
    // the alignment); false when the allocation fails.
    bool Resize(int columns, int rows);
    bool AllocOutput();
    void FreeOutput();

    // Places the output window: zoom z, centre in source pixels; false when
    // the tables cannot be allocated or z is not a positive number.
    bool SetSize(double zoom, int centreX, int centreY);
    // Source index and fraction of every output column and row.
    void BuildTables();

    // Converts the output rectangle (right and bottom exclusive).
    void Render(int left, int top, int right, int bottom);
    void RenderNearest(int left, int top, int right, int bottom);
    void RenderInterpolated(int left, int top, int right, int bottom);
    void ConvertAll();

    uint8_t* GetBits() const { return output; }
    int GetStride() const { return rowLength; }
    int GetFirstColumn() const { return firstColumn; }
    int GetFirstRow() const { return firstRow; }

private:
    bool Ready() const;
    bool ClipOutput(int& left, int& top, int& right, int& bottom) const;
    void RenderDirect(int left, int top, int right, int bottom);
    void FreeTables();

    int interpolate;            // 1 bilinear, 0 nearest
    int alignment;              // output rows padded to this many bytes when >= 2
    double zoom;                // source pixels per output pixel
    int tablesBuilt;            // reset when the tables are freed
    uint32_t* columnIndex;      // per output column: source column
    uint32_t* rowIndex;         // per output row: source row
    uint16_t* columnFraction;   // per output column: 0..255
    uint16_t* rowFraction;      // per output row: 0..255
    void* tableBlock;           // the four tables in one allocation
    int tableColumns, tableRows;    // the output size the table block is for
    int columns, rows;          // output size
    int rowLength;              // bytes per output row
    int scaledWidth, scaledHeight;  // source size / zoom, truncated
    int firstColumn, firstRow;  // output's top-left in the scaled source
    int centreColumn, centreRow;
    int centreX, centreY;       // the centre as given, in source pixels
    int sourceWidth, sourceHeight;
    uint8_t* output;            // columns x rows, rows of rowLength
    const uint16_t* source;     // not owned
    const uint8_t* table;       // not owned
};
