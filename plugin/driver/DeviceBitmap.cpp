#include "plugin/driver/DeviceBitmap.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <system_error>

namespace tavrel {

namespace {

uint32_t ReadU32(const std::vector<uint8_t>& d, size_t at)
{
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
uint16_t ReadU16(const std::vector<uint8_t>& d, size_t at) { return static_cast<uint16_t>(d[at] | (d[at + 1] << 8)); }

void WriteU32(std::vector<uint8_t>& d, uint32_t v)
{
    for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void WriteU16(std::vector<uint8_t>& d, uint16_t v)
{
    d.push_back(static_cast<uint8_t>(v));
    d.push_back(static_cast<uint8_t>(v >> 8));
}

struct THandleTable {
    uint32_t Next = 1;
    std::map<uint32_t, TBitmap> Bitmaps;
};

THandleTable& Handles()
{
    static THandleTable table;
    return table;
}

} // namespace

TBitmap DecodeBitmap(const std::vector<uint8_t>& d, const std::string& name)
{
    auto fail = [&](const char* why) { return std::runtime_error("\"" + name + "\" is not a usable bitmap: " + why); };
    if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') throw fail("no BMP header");
    const uint32_t dataOffset = ReadU32(d, 10);
    const uint32_t headerSize = ReadU32(d, 14);
    if (headerSize < 40 || 14 + headerSize > d.size()) throw fail("unknown header");
    const int32_t width = static_cast<int32_t>(ReadU32(d, 18));
    const int32_t rawHeight = static_cast<int32_t>(ReadU32(d, 22));
    const uint16_t bits = ReadU16(d, 28);
    const uint32_t compression = ReadU32(d, 30);
    if (compression != 0) throw fail("compressed pictures are not supported");
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 16384 || std::abs(rawHeight) > 16384)
        throw fail("bad size");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) throw fail("unsupported colour depth");
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    if (dataOffset > d.size() || stride * height > d.size() - dataOffset) throw fail("truncated pixel data");
    std::vector<uint8_t> palette;
    if (bits <= 8) {
        uint32_t colours = ReadU32(d, 46);
        if (colours == 0) colours = 1u << bits;
        const size_t at = 14 + headerSize;
        if (colours > 256 || at + colours * 4 > dataOffset) throw fail("bad palette");
        palette.assign(d.begin() + static_cast<std::ptrdiff_t>(at), d.begin() + static_cast<std::ptrdiff_t>(at + colours * 4));
    }
    TBitmap bitmap;
    bitmap.Width = width;
    bitmap.Height = height;
    bitmap.Pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = &d[dataOffset + stride * (bottomUp ? height - 1 - y : y)];
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* out = bitmap.At(x, y);
            if (bits >= 24) {
                const uint8_t* in = row + static_cast<size_t>(x) * (bits / 8);
                out[0] = in[0], out[1] = in[1], out[2] = in[2];
                continue;
            }
            const size_t bit = static_cast<size_t>(x) * bits;
            const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            if (index * 4 + 2 >= palette.size()) throw fail("pixel outside the palette");
            out[0] = palette[index * 4], out[1] = palette[index * 4 + 1], out[2] = palette[index * 4 + 2];
        }
    }
    return bitmap;
}

std::vector<uint8_t> EncodeBitmap(const TBitmap& bitmap)
{
    const size_t stride = ((static_cast<size_t>(bitmap.Width) * 24 + 31) / 32) * 4;
    const uint32_t imageSize = static_cast<uint32_t>(stride * bitmap.Height);
    std::vector<uint8_t> d;
    d.reserve(54 + imageSize);
    d.push_back('B'), d.push_back('M');
    WriteU32(d, 54 + imageSize);
    WriteU32(d, 0);
    WriteU32(d, 54);
    WriteU32(d, 40);
    WriteU32(d, static_cast<uint32_t>(bitmap.Width));
    WriteU32(d, static_cast<uint32_t>(bitmap.Height));
    WriteU16(d, 1);
    WriteU16(d, 24);
    for (int i = 0; i < 6; ++i) WriteU32(d, 0);
    for (int32_t y = bitmap.Height - 1; y >= 0; --y) {
        const size_t start = d.size();
        d.insert(d.end(), bitmap.At(0, y), bitmap.At(0, y) + static_cast<size_t>(bitmap.Width) * 3);
        d.resize(start + stride, 0);
    }
    return d;
}

TBitmap LoadBitmapFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot open file \"" + path + "\"");
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeBitmap(data, path);
}

void OverlayCentred(TBitmap& base, const TBitmap& overlay)
{
    // Offsets are half the size differences, truncated toward zero.
    const int32_t left = (base.Width - overlay.Width) / 2;
    const int32_t top = (base.Height - overlay.Height) / 2;
    for (int32_t y = 1; y < overlay.Height - 1; ++y) {
        for (int32_t x = 1; x < overlay.Width - 1; ++x) {
            const int32_t bx = left + x, by = top + y;
            if (bx < 0 || by < 0 || bx >= base.Width || by >= base.Height) continue;
            std::memcpy(base.At(bx, by), overlay.At(x, y), 3);
        }
    }
}

uint32_t BuildDeviceBitmap(const std::string& genericFile, const std::string& familyFile)
{
    TBitmap picture = LoadBitmapFile(genericFile);
    std::error_code ec;
    if (std::filesystem::is_regular_file(familyFile, ec)) OverlayCentred(picture, LoadBitmapFile(familyFile));
    THandleTable& table = Handles();
    const uint32_t handle = table.Next++;
    table.Bitmaps.emplace(handle, std::move(picture));
    return handle;
}

const TBitmap* FindBitmap(uint32_t handle)
{
    const THandleTable& table = Handles();
    const auto found = table.Bitmaps.find(handle);
    return found == table.Bitmaps.end() ? nullptr : &found->second;
}

} // namespace tavrel
