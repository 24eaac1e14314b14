// Lossless tile codec of the image file's pixel block.
//
// The raster is cut into 32 x 32 tiles, then the right strip, the bottom strip
// and the corner tile; each tile is stored on its own, with no header, count or
// padding between tiles:
//   01 vv vv            flat: every pixel is v (16-bit little-endian)
//   00 fields           raw: one field of `depth` bits per pixel
//   2n+1 mm mm fields   packed: minimum m, then pixel - m in n bits (n 1..16)
// Fields run row by row through the tile, least significant bit first.
// Files written by other workstations must decode here bit for bit, and ours
// there, so the stream never changes.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Size of the output buffer that the image file writer hands to EncodeRaster.
uint32_t EncodeBufferBound(int width, int height);

// The fewest bytes a stream of a width x height raster of `depth` bits can
// take: every tile at its smallest, a flat tile's 3 bytes or, for an edge tile
// of a few pixels of a few bits, a raw tile's tag and fields. A stored stream
// shorter than this is damaged; one this short is not.
uint64_t LeastStreamSize(uint32_t width, uint32_t height, uint32_t depth);

// Encodes a width x height raster of `depth` bits (1..16). Returns the bytes
// written, or -1 when the stream would pass `capacity` or the arguments are
// out of range (the caller then stores the raw pixels). Writes nothing past
// out + capacity.
int32_t EncodeRaster(const uint16_t* pixels, uint8_t* out, int32_t capacity, int width, int height, int depth);

// Decodes a stream into a width x height raster. Returns the bytes consumed,
// or -1 when the stream is damaged (a tile that would read past `inSize`, a
// packed width above 16) or the arguments are out of range; the raster's
// contents are then undefined. Never reads past in + inSize.
int32_t DecodeRaster(uint16_t* pixels, int width, int height, int depth, const uint8_t* in, int32_t inSize);

// Decodes a stream that arrives piece by piece (an image file read a block
// at a time, so that no buffer of the whole stream is committed): each Feed
// decodes the whole tiles at the start of `in`, in stream order, and returns
// the bytes they took; the caller keeps the rest and hands it in again ahead
// of the next bytes. `last` says that no bytes follow: a tile then cut short
// is damage. The result is -1 for a damaged stream (the raster's contents
// are then undefined). Decodes the same pixels as DecodeRaster, and reads no
// byte past in + available.
//
// A gate, when given, learns how far down the raster the decoder is about to
// write before it writes there: Reach(rows) is called before the decoder
// first writes a row numbered at or past the count it gave last (the counts
// only grow; the last is the height). The image file reader has the pages of
// the rows past that count committed on other threads meanwhile.
class TileRowGate
{
public:
    virtual void Reach(int rows) = 0;

protected:
    ~TileRowGate() = default;
};

class TileStreamDecoder
{
public:
    // The arguments as DecodeRaster takes them; out of range, Feed fails.
    TileStreamDecoder(uint16_t* pixels, int width, int height, int depth, TileRowGate* gate = nullptr);
    int32_t Feed(const uint8_t* in, int32_t available, bool last);
    bool Done() const { return phase_ == kDone; }
    // Moves the cursor past `count` bands of full tiles that were decoded
    // elsewhere (DecodeTileBand), telling the gate nothing: only from the
    // start of a band and within the full tiles; false (nothing changed)
    // otherwise.
    bool SkipBands(int count);

private:
    enum Phase { kFull, kRight, kBottom, kCorner, kDone, kFailed };
    void Settle();      // onto the first tile at or after the cursor
    void Advance();     // to the next tile in stream order

    uint16_t* pixels_;
    int width_, height_, depth_;
    Phase phase_;
    int x_, y_;         // the current tile's top-left pixel
    TileRowGate* gate_; // null: nobody to tell
    int reached_;       // the rows the gate was last told
};

// Bands: the full tiles of one row of tiles (32 rows, width / 32 tiles) lie
// one after another in the stream, band after band, before the strips and
// the corner; a band whose bytes are all there can be decoded on its own,
// beside other bands.
//
// The bytes of the band that starts at `in`, from its tiles' headers alone:
// 0 when not all of it lies within `available` (nor a header is damaged), -1
// for a damaged header (a packed width above 16) or a raster without full
// tiles across.
int64_t TileBandSize(const uint8_t* in, size_t available, int width, int depth);
// Decodes band `band` (rows 32 band to 32 band + 31, the full tiles only) of
// a width x height raster from `in`; returns the bytes it took, or -1 as
// DecodeRaster does. Reads no byte past in + available; with at least
// kTileBandSlack bytes behind the band it takes the faster path for its last
// tile too.
const size_t kTileBandSlack = 16;
int32_t DecodeTileBand(const uint8_t* in, size_t available, uint16_t* pixels, int width, int height, int depth,
                       int band);

// One tile whose top-left pixel is `first`, the raster's rows being `stride`
// pixels long. The encoders write at most `capacity` bytes and return the
// tile's size, or -1 when it does not fit; the decoders read at most
// `available` bytes and return the bytes consumed, or -1 for a damaged tile.
// The full-tile forms are the part forms with 32 x 32.
int EncodeTile(const uint16_t* first, uint8_t* out, size_t capacity, int stride, int depth);
int EncodeTilePart(const uint16_t* first, uint8_t* out, size_t capacity, int stride, int depth, int tileWidth,
                   int tileHeight);
int DecodeTile(const uint8_t* in, size_t available, uint16_t* first, int stride, int depth);
int DecodeTilePart(const uint8_t* in, size_t available, uint16_t* first, int stride, int depth, int tileWidth,
                   int tileHeight);
