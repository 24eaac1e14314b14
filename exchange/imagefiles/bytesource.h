// What the import readers see of a file: its size and exact reads at offsets.
//
// The readers of imported files (bmpformat.h, xmgtext.h) take their input
// through this interface only, so that they hold no Windows header and build
// natively under the address sanitizer, where the tests feed them memory
// blocks of exactly the input's size. The program reads files through
// FileSource (filesource.h).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

class ByteSource
{
public:
    virtual ~ByteSource() = default;
    // The input's length in bytes.
    virtual uint64_t Size() const = 0;
    // Exactly `count` bytes from `offset` into `dst`; false (nothing
    // promised about `dst`) when the input holds fewer or the read fails.
    virtual bool ReadAt(uint64_t offset, void* dst, uint32_t count) = 0;
};

// A block of memory as input; it does not own the bytes.
class MemorySource : public ByteSource
{
public:
    MemorySource(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, uint32_t count) override
    {
        if (offset > size_ || count > size_ - offset)
            return false;
        if (count)
            memcpy(dst, data_ + offset, count);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

// Little-endian fields of the records the readers parse.
inline uint16_t LoadLe16(const uint8_t* p)
{
    return (uint16_t)(p[0] | (p[1] << 8));
}
inline uint32_t LoadLe32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void StoreLe16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
inline void StoreLe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
