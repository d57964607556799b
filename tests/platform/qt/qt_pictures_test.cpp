// Picture files on the Qt runtime: each format's natural size, failures,
// the memory bound, and the shared cache in front of the decoder.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <fstream>

#include "platform/qt/qt_pictures.h"
#include "support/temp_dir.h"
#include "wmf_writer.h"

namespace vellora::qt {
namespace {

std::string write_image(const std::filesystem::path& dir, const std::string& name, int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 40));
    const auto path = (dir / name).string();
    EXPECT_TRUE(image.save(QString::fromStdString(path), format)) << name;
    return path;
}

void write_text(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool have_convert() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

TEST(QtPictures, NaturalSizeInHimetricFollowsTheScreenDpi) {
    EXPECT_EQ(pixels_to_himetric(640, 96.0), 16933);
    EXPECT_EQ(pixels_to_himetric(480, 96.0), 12700);
    EXPECT_EQ(pixels_to_himetric(32, 96.0), 847);
    EXPECT_EQ(pixels_to_himetric(120, 120.0), 2540);
    // Back to twips, the size is a whole number of pixels at 15 twips per pixel.
    EXPECT_NEAR(rt::himetric_to_twips(pixels_to_himetric(640, 96.0)), 640 * 15.0F, 0.5F);
}

TEST(QtPictures, EachFormatLoadsWithItsSize) {
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    struct Case {
        std::string path;
        int w, h;
    };
    std::vector<Case> cases = {
        {write_image(dir.path(), "p.bmp", 640, 480, "BMP"), 640, 480},
        {write_image(dir.path(), "p.jpg", 300, 200, "JPEG"), 300, 200},
        {write_image(dir.path(), "p.ico", 32, 32, "ICO"), 32, 32},
        {write_image(dir.path(), "p.png", 10, 20, "PNG"), 10, 20},
    };
    if (have_convert()) {
        const auto gif = (dir.path() / "p.gif").string();
        ASSERT_EQ(std::system(("convert -size 150x100 xc:blue " + gif).c_str()), 0);
        cases.push_back({gif, 150, 100});
    }
    for (const auto& c : cases) {
        const auto picture = decoder.decode(c.path);
        ASSERT_TRUE(picture) << c.path;
        EXPECT_EQ(picture->himetric_width, pixels_to_himetric(c.w, 96.0)) << c.path;
        EXPECT_EQ(picture->himetric_height, pixels_to_himetric(c.h, 96.0)) << c.path;
        const auto* image = dynamic_cast<const QtImage*>(picture->image.get());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->image().size(), QSize(c.w, c.h)) << c.path;
    }
    // A file named as one format but holding another is still read by its content.
    const auto disguised = write_image(dir.path(), "really-a-bmp.jpg", 20, 10, "BMP");
    EXPECT_EQ(decoder.decode(disguised)->himetric_width, pixels_to_himetric(20, 96.0));
}

TEST(QtPictures, MetafilesRenderAtTheirOwnSize) {
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    const auto path = (dir.path() / "p.wmf").string();
    testing::write_file(path, testing::placeable_wmf(1440, 720, 1440));  // 1 x 0.5 inch
    const auto picture = decoder.decode(path);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->himetric_width, 2540);
    EXPECT_EQ(picture->himetric_height, 1270);
    const auto* image = dynamic_cast<const QtImage*>(picture->image.get());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->image().size(), QSize(96, 48));
    // The rectangle is filled red.
    const QColor middle = image->image().pixelColor(48, 24);
    EXPECT_GT(middle.red(), 200);
    EXPECT_LT(middle.green(), 60);
}

TEST(QtPictures, DecodingAMetafileKeepsNoMemory) {
    // Each metafile decode once leaked the pixels libwmf drew (3.7 MB here).
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    const auto path = (dir.path() / "big.wmf").string();
    testing::write_file(path, testing::placeable_wmf(14400, 14400, 1440));  // 10 x 10 inch: 960 x 960 pixels
    const auto resident_bytes = [] {
        long pages = 0;
        long resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        return resident * sysconf(_SC_PAGESIZE);
    };
    ASSERT_TRUE(decoder.decode(path));
    const long before = resident_bytes();
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(decoder.decode(path));
    EXPECT_LT(resident_bytes() - before, 60L * 1024 * 1024);  // a leak would add some 150 MB
}

TEST(QtPictures, BrokenFilesFailWithPictureError) {
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    const std::vector<std::pair<std::string, std::string>> broken = {
        {"bad.bmp", std::string("BM") + std::string(60, '\x7F')},
        {"bad.gif", "GIF89a" + std::string(40, '\x01')},
        {"bad.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(40, '\x13')},
        {"bad.ico", std::string("\x00\x00\x01\x00\x01\x00", 6) + std::string(30, '\x55')},
        {"text.jpg", "just some text, not a picture\n"},
        {"empty.bmp", ""},
    };
    for (const auto& [name, bytes] : broken) {
        write_text(dir.path() / name, bytes);
        EXPECT_THROW((void)decoder.decode((dir.path() / name).string()), rt::PictureError) << name;
    }
    // A metafile cut short after its headers.
    auto wmf = testing::placeable_wmf(1440, 720, 1440);
    wmf.resize(30);
    testing::write_file((dir.path() / "bad.wmf").string(), wmf);
    EXPECT_THROW((void)decoder.decode((dir.path() / "bad.wmf").string()), rt::PictureError);
    EXPECT_THROW((void)decoder.decode((dir.path() / "missing.bmp").string()), rt::PictureError);
    EXPECT_FALSE(decoder.identify((dir.path() / "missing.bmp").string()).has_value());
    EXPECT_FALSE(decoder.identify(dir.path().string()).has_value());  // a folder is no picture file
}

TEST(QtPictures, HugePicturesAreRefusedBeforeDecoding) {
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    // A BMP header that claims 20000 x 20000 pixels (400 megapixels) over a few bytes of data.
    std::string bmp = "BM";
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp += static_cast<char>((v >> (8 * i)) & 0xFFU);
    };
    const auto u16 = [&](std::uint16_t v) {
        bmp += static_cast<char>(v & 0xFFU);
        bmp += static_cast<char>(v >> 8U);
    };
    u32(54 + 64);
    u32(0);
    u32(54);
    u32(40);
    u32(20000);
    u32(20000);
    u16(1);
    u16(24);
    u32(0);
    u32(0);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    bmp += std::string(64, '\0');
    write_text(dir.path() / "huge.bmp", bmp);
    EXPECT_THROW((void)decoder.decode((dir.path() / "huge.bmp").string()), rt::PictureError);
    // The metafile reader has the same bound.
    const auto wmf = (dir.path() / "huge.wmf").string();
    testing::write_file(wmf, testing::placeable_wmf(30000, 30000, 100));  // 300 x 300 inch
    EXPECT_THROW((void)decoder.decode(wmf), rt::PictureError);
}

TEST(QtPictures, TheCacheDecodesAnUnchangedFileOnce) {
    testing::TempDir dir;
    QtPictureDecoder decoder([] { return 96.0; });
    rt::PictureService service(decoder);
    const auto path = write_image(dir.path(), "p.bmp", 40, 30, "BMP");
    const auto a = service.load(path);
    const auto b = service.load(path);
    EXPECT_EQ(a, b);
    EXPECT_EQ(service.decodes(), 1U);
    // Replaced by another picture: its identity changes and it is decoded again.
    std::filesystem::remove(path);
    write_image(dir.path(), "p.bmp", 80, 30, "BMP");
    const auto c = service.load(path);
    EXPECT_EQ(service.decodes(), 2U);
    EXPECT_EQ(c->himetric_width, pixels_to_himetric(80, 96.0));
    std::filesystem::remove(path);
    EXPECT_THROW((void)service.load(path), rt::PictureError);
}

TEST(QtPictures, MetafileRecognition) {
    const auto wmf = testing::placeable_wmf(100, 100, 1440);
    EXPECT_TRUE(looks_like_wmf(std::string(wmf.begin(), wmf.end())));
    // A plain metafile (no placeable header) starts with its own header.
    EXPECT_TRUE(looks_like_wmf(std::string(wmf.begin() + 22, wmf.end())));
    EXPECT_FALSE(looks_like_wmf("BM" + std::string(40, '\0')));
    EXPECT_FALSE(looks_like_wmf(""));
}

}  // namespace
}  // namespace vellora::qt
