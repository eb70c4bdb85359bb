// The desktop taken from a picture file: decoding into the capture's bottom-up BGR layout,
// damaged and missing files, and the height field that CaptureDesktop makes of it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/temp_folder.h"
#include "support/heap.h"
#include "surface/height_field.h"
#include "surface/picture/demo_desktop.h"
#include "surface/picture/desktop_source.h"
#include "surface/picture/picture_files.h"

namespace {

// The snapshot pixel (blue, green, red) of picture column x, row y from the top.
struct Bgr {
    int b;
    int g;
    int r;
};

Bgr SnapshotPixel(const DesktopSnapshot& snapshot, int32_t x, int32_t y)
{
    const size_t row = static_cast<size_t>(snapshot.height - 1 - y);
    const uint8_t* p = snapshot.pixels.data() + row * SnapshotStride(snapshot.width) + 3 * x;
    return Bgr{p[0], p[1], p[2]};
}

// Every pixel in place and in B, G, R order, within tolerance; the row fill 0.
void ExpectSamePixels(const DesktopSnapshot& snapshot, const RgbPicture& picture, int tolerance)
{
    ASSERT_EQ(snapshot.width, picture.width);
    ASSERT_EQ(snapshot.height, picture.height);
    const size_t stride = SnapshotStride(picture.width);
    ASSERT_EQ(snapshot.pixels.size(), stride * picture.height);
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* want = &picture.rgb[3 * (static_cast<size_t>(y) * picture.width + x)];
            const Bgr got = SnapshotPixel(snapshot, x, y);
            ASSERT_NEAR(got.r, want[0], tolerance) << "at " << x << ", " << y;
            ASSERT_NEAR(got.g, want[1], tolerance) << "at " << x << ", " << y;
            ASSERT_NEAR(got.b, want[2], tolerance) << "at " << x << ", " << y;
        }
        for (size_t b = 3 * static_cast<size_t>(picture.width); b < stride; ++b) {
            ASSERT_EQ(snapshot.pixels[(picture.height - 1 - y) * stride + b], 0);
        }
    }
}

bool Decode(const std::vector<uint8_t>& bytes, DesktopSnapshot& snapshot, std::string& reason)
{
    return DecodeDesktopPicture(bytes.data(), bytes.size(), snapshot, reason);
}

TEST(DesktopPicture, LosslessFormatsKeepEveryPixelAtItsPlace)
{
    // 5, 6 and 7 pixels a row leave 1, 2 and 3 bytes of row fill.
    for (const int32_t width : {5, 6, 7, 8}) {
        const RgbPicture picture = MakeGradientPicture(width, 4);
        for (const auto& [name, bytes] :
             {std::pair{"png", EncodePng(picture)}, std::pair{"bmp", EncodeBmp(picture)}}) {
            SCOPED_TRACE(std::string(name) + " of width " + std::to_string(width));
            DesktopSnapshot snapshot;
            std::string reason;
            ASSERT_TRUE(Decode(bytes, snapshot, reason)) << reason;
            ExpectSamePixels(snapshot, picture, 0);
        }
    }
}

TEST(DesktopPicture, JpegComesOutUprightAndInItsColours)
{
    // Blocks of one colour survive the compression nearly unchanged: red on top, blue below.
    RgbPicture picture{16, 16, {}};
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            const bool top = y < 8;
            picture.rgb.insert(picture.rgb.end(),
                               {uint8_t(top ? 220 : 20), uint8_t(40), uint8_t(top ? 30 : 200)});
        }
    }
    DesktopSnapshot snapshot;
    std::string reason;
    ASSERT_TRUE(Decode(EncodeJpeg(picture), snapshot, reason)) << reason;
    ExpectSamePixels(snapshot, picture, 12);
}

TEST(DesktopPicture, GifPaletteColoursInPlace)
{
    const uint8_t palette[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 240, 10}};
    const int32_t width = 7;
    const int32_t height = 3;
    std::vector<uint8_t> indices;
    RgbPicture picture{width, height, {}};
    for (int32_t i = 0; i < width * height; ++i) {
        const uint8_t index = static_cast<uint8_t>((i * 7 / 3) % 4);
        indices.push_back(index);
        picture.rgb.insert(picture.rgb.end(), palette[index], palette[index] + 3);
    }
    DesktopSnapshot snapshot;
    std::string reason;
    ASSERT_TRUE(Decode(EncodeGif(width, height, palette, indices), snapshot, reason)) << reason;
    ExpectSamePixels(snapshot, picture, 0);
}

TEST(DesktopPicture, GreyAndAlphaPicturesBecomeRgbWithoutAlpha)
{
    // Grey + alpha: the grey in all three channels whatever the alpha.
    const std::vector<uint8_t> greyAlpha = {10, 0, 200, 255, 90, 128};
    DesktopSnapshot snapshot;
    std::string reason;
    ASSERT_TRUE(Decode(EncodePngChannels(3, 1, 2, greyAlpha), snapshot, reason)) << reason;
    EXPECT_EQ(SnapshotPixel(snapshot, 0, 0).g, 10);
    EXPECT_EQ(SnapshotPixel(snapshot, 1, 0).r, 200);
    EXPECT_EQ(SnapshotPixel(snapshot, 2, 0).b, 90);

    const std::vector<uint8_t> rgba = {1, 2, 3, 0, 4, 5, 6, 255};
    ASSERT_TRUE(Decode(EncodePngChannels(1, 2, 4, rgba), snapshot, reason)) << reason;
    const Bgr top = SnapshotPixel(snapshot, 0, 0);
    const Bgr bottom = SnapshotPixel(snapshot, 0, 1);
    EXPECT_EQ((std::vector<int>{top.r, top.g, top.b, bottom.r, bottom.g, bottom.b}),
              (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(DesktopPicture, DamagedOrForeignBytesAreRefused)
{
    const std::vector<uint8_t> png = EncodePng(MakeGradientPicture(40, 30));
    std::vector<uint8_t> badStream = png;
    badStream[41] ^= 0xFF;  // the compressed stream's header, just after "IDAT"
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
        // A picture without a signature that the decoder would otherwise try to read.
        {"tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0, 1, 2, 3, 4, 5, 6}},
        {"signature only", std::vector<uint8_t>(png.begin(), png.begin() + 8)},
        {"cut short", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2)},
        {"damaged data", badStream},
        {"bmp header only", std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0}},
    };
    for (const auto& [name, bytes] : cases) {
        DesktopSnapshot snapshot;
        std::string reason;
        EXPECT_FALSE(Decode(bytes, snapshot, reason)) << name;
        EXPECT_FALSE(reason.empty()) << name;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << name;
        EXPECT_TRUE(snapshot.pixels.empty()) << name;
    }
}

TEST(DesktopPicture, PictureLargerThanTheLimitIsRefusedBeforeDecoding)
{
    const int32_t width = MaxDesktopSide + 1;
    const std::vector<uint8_t> row(static_cast<size_t>(width), 77);
    DesktopSnapshot snapshot;
    std::string reason;
    EXPECT_FALSE(Decode(EncodePngChannels(width, 1, 1, row), snapshot, reason));
    EXPECT_NE(reason.find(std::to_string(width)), std::string::npos) << reason;

    const std::vector<uint8_t> fits(static_cast<size_t>(MaxDesktopSide), 77);
    EXPECT_TRUE(Decode(EncodePngChannels(MaxDesktopSide, 1, 1, fits), snapshot, reason)) << reason;
}

TEST(DesktopPicture, FileErrorsNameTheFile)
{
    TempFolder folder;
    DesktopSnapshot snapshot;
    std::string reason;
    const std::string missing = folder / "missing.png";
    EXPECT_FALSE(LoadDesktopPicture(missing.c_str(), snapshot, reason));
    EXPECT_NE(reason.find(missing), std::string::npos) << reason;

    // A folder opens but cannot be read.
    EXPECT_FALSE(LoadDesktopPicture(folder.Path().c_str(), snapshot, reason));
    EXPECT_NE(reason.find(folder.Path()), std::string::npos) << reason;

    const std::string garbage = folder / "garbage.png";
    WriteBytes(garbage, {0x89, 'P', 'N', 'G', 1, 2, 3});
    EXPECT_FALSE(LoadDesktopPicture(garbage.c_str(), snapshot, reason));
    EXPECT_NE(reason.find(garbage), std::string::npos) << reason;
}

TEST(DesktopPicture, AStreamThatIsNoPictureIsNotReadToItsEnd)
{
    // As -image /dev/zero would be: bytes that are no picture and do not end. The writer keeps
    // its end open until the load returns, or for ten seconds at most.
    TempFolder folder;
    const std::string pipe = folder / "endless";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::atomic<bool> loaded{false};
    std::atomic<bool> letGo{false};
    std::thread writer([&] {
        const int fd = open(pipe.c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::vector<char> zeros(65536, 0);
        ssize_t written = 0;
        while (written < static_cast<ssize_t>(zeros.size())) {
            const ssize_t now = write(fd, zeros.data() + written, zeros.size() - written);
            if (now <= 0) break;
            written += now;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!loaded && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        letGo = true;
        close(fd);
    });
    DesktopSnapshot snapshot;
    std::string reason;
    const bool ok = LoadDesktopPicture(pipe.c_str(), snapshot, reason);
    const bool beforeTheEnd = !letGo;
    loaded = true;
    writer.join();
    EXPECT_FALSE(ok);
    EXPECT_TRUE(beforeTheEnd) << "the load waited for the stream to end";
    EXPECT_NE(reason.find("not a PNG"), std::string::npos) << reason;
}

class CaptureFromSource : public ::testing::Test {
protected:
    void TearDown() override { FreeSurfaceFields(surface); }

    TempFolder folder;
    SurfaceFields surface;
    std::string reason;
};

TEST_F(CaptureFromSource, PictureFileGivesHeightsBottomRowFirst)
{
    // Top row: white, black; bottom row: pure red, mid grey (the grey rule's examples).
    const RgbPicture picture{2, 2, {255, 255, 255, 0, 0, 0, 255, 0, 0, 128, 128, 128}};
    const std::string path = folder / "desk.png";
    WriteBytes(path, EncodePng(picture));
    ASSERT_TRUE(UseDesktopPictureFile(surface, path, reason)) << reason;
    EXPECT_EQ(surface.DesktopWidth, 2);
    EXPECT_EQ(surface.DesktopHeight, 2);
    EXPECT_EQ(surface.DesktopPixelCount, 4u);
    ASSERT_NE(surface.HeightField, nullptr);
    EXPECT_EQ((std::vector<int>(surface.HeightField, surface.HeightField + 4)),
              (std::vector<int>{42, 63, 127, 0}));
    EXPECT_TRUE(reason.empty());
}

TEST_F(CaptureFromSource, FailedCaptureKeepsTheDesktopItHad)
{
    ASSERT_TRUE(UseDemoDesktop(surface, 300, 200, reason));
    const uint8_t* before = surface.HeightField;

    EXPECT_FALSE(UseDesktopPictureFile(surface, folder / "absent.jpg", reason));
    EXPECT_NE(reason.find("absent.jpg"), std::string::npos);
    EXPECT_EQ(surface.HeightField, before);
    EXPECT_EQ(surface.DesktopWidth, 300);
    EXPECT_EQ(surface.DesktopHeight, 200);
}

TEST_F(CaptureFromSource, DemoDesktopOfTheAskedSize)
{
    ASSERT_TRUE(UseDemoDesktop(surface, 333, 97, reason));
    EXPECT_EQ(surface.DesktopWidth, 333);
    EXPECT_EQ(surface.DesktopHeight, 97);
    EXPECT_EQ(surface.DesktopPixelCount, 333u * 97u);

    EXPECT_FALSE(UseDemoDesktop(surface, 0, 97, reason));
    EXPECT_EQ(surface.DesktopWidth, 333);
}

}  // namespace
