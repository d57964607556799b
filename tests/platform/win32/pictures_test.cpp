// The picture decoder on OLE: every format the saver reads, failures, and
// the shared cache on top of it.
#include <gtest/gtest.h>

#include "platform/win32/pictures.h"
#include "platform/win32/support.h"

namespace vellora::win32 {
namespace {

using testing::TempFolder;

class Win32PictureTest : public ::testing::Test {
protected:
    void SetUp() override { OleInitialize(nullptr); }
    void TearDown() override { OleUninitialize(); }
    static std::int32_t himetric(int pixels, int dpi) { return MulDiv(pixels, 2540, dpi); }
    static int screen_dpi() {
        HDC dc = GetDC(nullptr);
        const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(nullptr, dc);
        return dpi;
    }
};

TEST_F(Win32PictureTest, EveryFormatDecodesWithItsNaturalSize) {
    TempFolder dir;
    testing::write_file(dir.file("red.bmp"), testing::bmp_bytes(20, 10, rt::rgb(255, 0, 0)));
    testing::write_file(dir.file("rect.wmf"), testing::wmf_bytes(1440, 720, 1440));  // 1 x 0.5 inch
    PictureDecoder decoder;
    const int dpi = screen_dpi();
    const struct {
        std::string path;
        std::int32_t w, h;
    } cases[] = {
        {dir.file("red.bmp"), himetric(20, dpi), himetric(10, dpi)},
        {dir.file("rect.wmf"), 2540, 1270},
        {testing::test_picture("red.gif"), himetric(40, dpi), himetric(30, dpi)},
        {testing::test_picture("green.jpg"), himetric(64, dpi), himetric(48, dpi)},
        {testing::test_picture("blue.ico"), himetric(32, dpi), himetric(32, dpi)},
    };
    for (const auto& c : cases) {
        const auto picture = decoder.decode(c.path);
        EXPECT_NEAR(picture->himetric_width, c.w, 2) << c.path;
        EXPECT_NEAR(picture->himetric_height, c.h, 2) << c.path;
        EXPECT_NE(dynamic_cast<const OlePicture*>(picture->image.get()), nullptr);
    }
}

TEST_F(Win32PictureTest, FailuresAndFileIdentity) {
    TempFolder dir;
    PictureDecoder decoder;
    testing::write_file(dir.file("notes.txt"), "not a picture at all");
    testing::write_file(dir.file("empty.bmp"), "");
    EXPECT_THROW((void)decoder.decode(dir.file("notes.txt")), rt::PictureError);
    EXPECT_THROW((void)decoder.decode(dir.file("empty.bmp")), rt::PictureError);
    EXPECT_THROW((void)decoder.decode(dir.file("missing.bmp")), rt::PictureError);
    EXPECT_FALSE(decoder.identify(dir.file("missing.bmp")));
    EXPECT_FALSE(decoder.identify(testing::test_picture("")));  // a folder is no picture file

    // The shared cache decodes a file once and again after it changed on disk.
    rt::PictureService service(decoder);
    testing::write_file(dir.file("a.bmp"), testing::bmp_bytes(8, 8, rt::rgb(0, 0, 255)));
    auto first = service.load(dir.file("a.bmp"));
    EXPECT_EQ(service.load(dir.file("a.bmp")), first);
    EXPECT_EQ(service.decodes(), 1U);
    testing::write_file(dir.file("a.bmp"), testing::bmp_bytes(16, 8, rt::rgb(0, 0, 255)));
    auto second = service.load(dir.file("a.bmp"));
    EXPECT_EQ(service.decodes(), 2U);
    EXPECT_GT(second->himetric_width, first->himetric_width);
    EXPECT_THROW((void)service.load(dir.file("missing.bmp")), rt::PictureError);
}

}  // namespace
}  // namespace vellora::win32
