#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "call_log.h"
#include "image/stb/pixel_bitmap.h"
#include "image/texture_upload.h"
#include "recording_device.h"

namespace {

class TextureUploadTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetRecordingDevice();
        CallLog.clear();
        CreateDevice(CreateRenderSystem(RenderSdkVersion), 0, DeviceTypeHal, 0,
                     CreateSoftwareVertexProcessing, PresentParameters{}, device);
        CallLog.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(RecordingDevice.misuses, 0) << "see the MISUSE entries of the call log";
        DeleteBitmap(bitmap);
        ResetRecordingDevice();
        CallLog.clear();
    }

    // A 32-bit bitmap whose pixel at memory row r, column c is pixelAt(c, r).
    template <typename PixelAt>
    void MakeBitmap(int32_t width, int32_t height, PixelAt pixelAt)
    {
        bitmap = CreatePixelBitmap(width, height, 32);
        ASSERT_NE(bitmap, nullptr);
        for (int32_t r = 0; r < height; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                const uint32_t p = pixelAt(c, r);
                std::memcpy(bitmap->pixels + r * bitmap->rowBytes + 4 * c, &p, 4);
            }
        }
    }

    RenderDevice* device = nullptr;
    ImageBitmap* bitmap = nullptr;
    RenderTexture* texture = nullptr;
};

uint32_t Convert(uint32_t format, uint32_t argb)
{
    PixelConverter converter{};
    EXPECT_TRUE(FindPixelConverter(format, converter)) << format;
    return converter.convert != nullptr ? converter.convert(argb) : 0xDEADBEEF;
}

uint32_t BytesPerTexel(uint32_t format)
{
    PixelConverter converter{};
    return FindPixelConverter(format, converter) ? converter.bytesPerTexel : 0;
}

}  // namespace

TEST(PixelConverters, KeepTheTopBitsOfEachChannelInItsPlace)
{
    // Grey 0x80 shows the bit positions; 0x80FF4010 shows that no channel lands in another's.
    const struct {
        uint32_t format, bytes, grey, mixed;
    } cases[] = {
        {20, 3, 0x808080, 0xFF4010}, {21, 4, 0xFF808080, 0x80FF4010},
        {22, 4, 0x808080, 0xFF4010}, {23, 2, 0x8410, 0xFA02},
        {24, 2, 0x4210, 0x7D02},     {25, 2, 0xC210, 0xFD02},
        {26, 2, 0xF888, 0x8F41},     {27, 1, 0x92, 0xE8},
        {28, 1, 0xFF, 0x80},         {29, 2, 0xFF92, 0x80E8},
        {30, 2, 0x0888, 0x0F41},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BytesPerTexel(c.format), c.bytes) << c.format;
        EXPECT_EQ(Convert(c.format, 0xFF808080), c.grey) << c.format;
        EXPECT_EQ(Convert(c.format, 0x80FF4010), c.mixed) << c.format;
    }
    EXPECT_EQ(Convert(FormatA4R4G4B4, 0x7FFFFFFF), 0x7FFFu);
    EXPECT_EQ(Convert(FormatA4R4G4B4, 0x0F0F0F0F), 0x0000u);  // dropped, not rounded up
    EXPECT_EQ(Convert(FormatX1R5G5B5, 0xFFFFFFFF), 0x7FFFu);  // no alpha bit
}

TEST(PixelConverters, OnlyFormats20To30HaveOne)
{
    PixelConverter converter{nullptr, 99};
    for (const uint32_t format : {0u, 19u, 31u, 50u, 80u, 0x80000014u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(FindPixelConverter(format, converter)) << format;
    }
    EXPECT_EQ(converter.convert, nullptr);
    EXPECT_EQ(converter.bytesPerTexel, 99u);
}

TEST_F(TextureUploadTest, RowsComeOutUprightAtTheLocksPitch)
{
    // Every pixel different, with the row in the red byte and the column in green and blue.
    const int32_t width = 7, height = 5;
    MakeBitmap(width, height, [](int32_t c, int32_t r) {
        return 0x80000000u | uint32_t(r) << 16 | uint32_t(c) * 0x0101u;
    });
    for (const uint32_t format : {FormatR8G8B8, FormatA8R8G8B8, FormatA4R4G4B4, FormatA8}) {
        SCOPED_TRACE(format);
        ResetRecordingDevice();
        CallLog.clear();
        RecordingDevice.texturePitchPadding = 5;
        CreateDevice(CreateRenderSystem(RenderSdkVersion), 0, DeviceTypeHal, 0, 0x20,
                     PresentParameters{}, device);
        CallLog.clear();

        ASSERT_EQ(UploadBitmapToTexture(device, bitmap, format, texture), UploadOk);
        EXPECT_EQ(CallLog,
                  (std::vector<std::string>{"CreateTexture device1 7 5 1 0x0 " +
                                                std::to_string(format) + " 1 -> texture1",
                                            "LockRect texture1 0 0x0", "UnlockRect texture1 0"}));
        int32_t pitch = 0;
        const uint8_t* texels = TextureMemory(texture, pitch);
        const uint32_t bytes = BytesPerTexel(format);
        ASSERT_EQ(pitch, int32_t(width * bytes) + 5);
        for (int32_t t = 0; t < height; ++t) {
            for (int32_t c = 0; c < width; ++c) {
                uint32_t source = 0;
                std::memcpy(&source, bitmap->pixels + (height - 1 - t) * bitmap->rowBytes + 4 * c,
                            4);
                const uint32_t expected = Convert(format, source);
                for (uint32_t b = 0; b < bytes; ++b) {
                    ASSERT_EQ(texels[t * pitch + c * bytes + b], uint8_t(expected >> (8 * b)))
                        << "texel " << c << "," << t << " byte " << b;
                }
            }
            // The padding beyond the row is not written.
            EXPECT_EQ(texels[t * pitch + width * bytes], RecordingDevice.lockFill);
        }
    }
}

TEST_F(TextureUploadTest, RefusalsComeInTheirOrderAndLeaveNoTextureBehind)
{
    MakeBitmap(4, 4, [](int32_t, int32_t) { return 0xFFFFFFFFu; });

    // No device: nothing is asked of anyone, and the holder is left as it was.
    RenderTexture* untouched = reinterpret_cast<RenderTexture*>(&untouched);
    EXPECT_EQ(UploadBitmapToTexture(nullptr, nullptr, 99, untouched), UploadNoDevice);
    EXPECT_EQ(untouched, reinterpret_cast<RenderTexture*>(&untouched));
    EXPECT_TRUE(CallLog.empty());

    // A 24-bit bitmap, or none at all, before any texture exists.
    ImageBitmap* deep24 = CreatePixelBitmap(4, 4, 24);
    EXPECT_EQ(UploadBitmapToTexture(device, deep24, FormatA4R4G4B4, texture), UploadNot32Bit);
    DeleteBitmap(deep24);
    EXPECT_EQ(UploadBitmapToTexture(device, nullptr, FormatA4R4G4B4, texture), UploadNot32Bit);
    EXPECT_TRUE(CallLog.empty());
    EXPECT_EQ(texture, nullptr);

    RecordingDevice.failCreateTexture = {0};
    EXPECT_EQ(UploadBitmapToTexture(device, bitmap, FormatA4R4G4B4, texture), UploadCreateFailed);
    EXPECT_EQ(texture, nullptr);

    RecordingDevice.failLockRect = {0};
    CallLog.clear();
    EXPECT_EQ(UploadBitmapToTexture(device, bitmap, FormatA4R4G4B4, texture), UploadLockFailed);
    EXPECT_EQ(CallLog, (std::vector<std::string>{"CreateTexture device1 4 4 1 0x0 26 1 -> texture1",
                                                 "LockRect texture1 0 0x0", "Release texture1"}));
    EXPECT_EQ(texture, nullptr);

    // L8 is outside the converters: made and locked, then given back unfilled.
    CallLog.clear();
    EXPECT_EQ(UploadBitmapToTexture(device, bitmap, FormatL8, texture), UploadNoConverter);
    EXPECT_EQ(CallLog, (std::vector<std::string>{"CreateTexture device1 4 4 1 0x0 50 1 -> texture2",
                                                 "LockRect texture2 0 0x0", "UnlockRect texture2 0",
                                                 "Release texture2"}));
    EXPECT_EQ(texture, nullptr);

    // Rows shorter than the converted row would overlap: no write, the texture goes back.
    RecordingDevice.texturePitchPadding = -1;
    CallLog.clear();
    EXPECT_EQ(UploadBitmapToTexture(device, bitmap, FormatA8R8G8B8, texture), UploadLockFailed);
    EXPECT_EQ(CallLog.back(), "Release texture3");
    EXPECT_EQ(texture, nullptr);

    EXPECT_EQ(RecordingDevice.liveObjects, 2);  // the system and the device
}
