// Device pictures: Windows bitmap files composed into a picture and handed to
// the host as a 32-bit handle from the library's own handle table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

// An uncompressed picture, 24 bits per pixel, rows top to bottom, BGR.
struct TBitmap {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels; // Width * Height * 3

    uint8_t* At(int32_t x, int32_t y) { return &Pixels[(static_cast<size_t>(y) * Width + x) * 3]; }
    const uint8_t* At(int32_t x, int32_t y) const { return &Pixels[(static_cast<size_t>(y) * Width + x) * 3]; }
};

// Reads a BMP file (1, 4, 8, 24 or 32 bits per pixel, uncompressed) and converts
// it to 24 bits per pixel; throws with the file name when it is not one.
TBitmap LoadBitmapFile(const std::string& path);
TBitmap DecodeBitmap(const std::vector<uint8_t>& data, const std::string& name);
std::vector<uint8_t> EncodeBitmap(const TBitmap& bitmap);

// Copies the family picture onto the generic one, centred, without the family
// picture's outermost row and column on every side.
void OverlayCentred(TBitmap& base, const TBitmap& overlay);

// The generic picture with the family picture over it when that file exists;
// returns its handle (never 0).
uint32_t BuildDeviceBitmap(const std::string& genericFile, const std::string& familyFile);
// The picture behind a handle; null for an unknown handle.
const TBitmap* FindBitmap(uint32_t handle);

} // namespace tavrel
