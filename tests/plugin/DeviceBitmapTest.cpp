// Device pictures: BMP decoding of the depths a host ships, the centred
// overlay without the family picture's border, and refusal of broken files.
#include "plugin/driver/DeviceBitmap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tavrel;

namespace {

TBitmap Filled(int32_t width, int32_t height, uint8_t value)
{
    TBitmap bitmap;
    bitmap.Width = width;
    bitmap.Height = height;
    bitmap.Pixels.assign(static_cast<size_t>(width) * height * 3, value);
    return bitmap;
}

TEST(DeviceBitmapTest, RoundTripAndPalettedPictures)
{
    TBitmap picture = Filled(5, 3, 0);
    picture.At(4, 0)[2] = 0xFF; // top-right pixel red
    const TBitmap decoded = DecodeBitmap(EncodeBitmap(picture), "picture.bmp");
    EXPECT_EQ(decoded.Width, 5);
    EXPECT_EQ(decoded.Height, 3);
    EXPECT_EQ(decoded.Pixels, picture.Pixels) << "rows come back top to bottom";

    // An 8-bit paletted picture: one row of two pixels, palette 0 = (1,0,0), 1 = white.
    std::vector<uint8_t> paletted(62 + 4, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) paletted[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    paletted[0] = 'B', paletted[1] = 'M';
    put32(10, 62);  // pixel data offset
    put32(14, 40);  // header size
    put32(18, 2);   // width
    put32(22, 1);   // height
    paletted[26] = 1, paletted[28] = 8;
    put32(46, 2);   // colours used
    paletted[54] = 1;                                              // palette 0
    paletted[58] = paletted[59] = paletted[60] = 255;              // palette 1
    paletted[62] = 0, paletted[63] = 1;                            // pixels: 0, 1
    const TBitmap grey = DecodeBitmap(paletted, "paletted.bmp");
    EXPECT_EQ(grey.At(0, 0)[0], 1);
    EXPECT_EQ(grey.At(1, 0)[0], 255);
}

TEST(DeviceBitmapTest, OverlayIsCentredWithoutTheBorder)
{
    TBitmap base = Filled(10, 10, 0);
    const TBitmap overlay = Filled(5, 5, 9);
    OverlayCentred(base, overlay);
    // Offsets (10-5)/2 = 2; the overlay's outer ring is left out, so 3..5 are painted.
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(base.At(x, y)[0], (x >= 3 && x <= 5 && y >= 3 && y <= 5) ? 9 : 0) << x << "," << y;
    TBitmap small = Filled(2, 2, 0);
    OverlayCentred(small, Filled(9, 9, 7)); // larger than the base: clipped, no crash
    EXPECT_EQ(small.At(0, 0)[0], 7);
}

TEST(DeviceBitmapTest, BrokenFilesAreRefusedByName)
{
    std::vector<uint8_t> good = EncodeBitmap(Filled(4, 4, 1));
    std::vector<std::vector<uint8_t>> broken = {{}, {'B', 'M'}, std::vector<uint8_t>(good.begin(), good.begin() + 60)};
    auto huge = good;
    huge[18] = 0xFF, huge[19] = 0xFF, huge[20] = 0xFF, huge[21] = 0x7F;
    broken.push_back(huge);
    auto compressed = good;
    compressed[30] = 1;
    broken.push_back(compressed);
    for (const auto& data : broken) {
        try {
            DecodeBitmap(data, "broken.bmp");
            ADD_FAILURE() << "accepted " << data.size() << " bytes";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("broken.bmp"), std::string::npos);
        }
    }
    const auto path = std::filesystem::temp_directory_path() / "generic-device.bmp";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    const uint32_t handle = BuildDeviceBitmap(path.string(), "/no/family.bmp");
    EXPECT_NE(handle, 0u);
    ASSERT_NE(FindBitmap(handle), nullptr);
    EXPECT_EQ(FindBitmap(handle)->Width, 4);
    EXPECT_EQ(FindBitmap(handle + 1000), nullptr);
    std::filesystem::remove(path);
}

} // namespace
