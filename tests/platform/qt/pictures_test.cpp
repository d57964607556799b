// Picture files on the Qt runtime: each format's natural size, failures,
// the memory bound, and the shared cache in front of the decoder.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <fstream>

#include "platform/qt/pictures.h"
#include "support/picture_files.h"
#include "support/temp_dir.h"

namespace vellora::qt {
namespace {

using testing::write_file;

struct Pictures : ::testing::Test {
    testing::TempDir dir;
    QtPictureDecoder decoder{[] { return 96.0; }};
    std::string file(const std::string& name, const std::string& bytes) {
        write_file(dir.path() / name, bytes);
        return (dir.path() / name).string();
    }
    std::string image(const std::string& name, int w, int h, const char* format) {
        QImage picture(w, h, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 40));
        const auto path = (dir.path() / name).string();
        EXPECT_TRUE(picture.save(QString::fromStdString(path), format)) << name;
        return path;
    }
    QSize decoded_size(const std::string& path) {
        const auto picture = decoder.decode(path);
        const QSize size = dynamic_cast<const QtImage&>(*picture->image).image().size();
        EXPECT_EQ(picture->himetric_width, pixels_to_himetric(size.width(), 96.0)) << path;
        EXPECT_EQ(picture->himetric_height, pixels_to_himetric(size.height(), 96.0)) << path;
        return size;
    }
};

TEST_F(Pictures, EachFormatLoadsWithItsNaturalSizeInHimetricByItsContent) {
    EXPECT_EQ(pixels_to_himetric(640, 96.0), 16933);
    EXPECT_EQ(pixels_to_himetric(480, 96.0), 12700);
    EXPECT_EQ(pixels_to_himetric(120, 120.0), 2540);
    EXPECT_EQ(decoded_size(image("p.bmp", 640, 480, "BMP")), QSize(640, 480));
    EXPECT_EQ(decoded_size(image("p.jpg", 300, 200, "JPEG")), QSize(300, 200));
    EXPECT_EQ(decoded_size(image("p.ico", 32, 32, "ICO")), QSize(32, 32));
    EXPECT_EQ(decoded_size(image("really-a-bmp.jpg", 20, 10, "BMP")), QSize(20, 10));
    if (std::system("command -v convert >/dev/null 2>&1") == 0) {
        const auto gif = (dir.path() / "p.gif").string();
        ASSERT_EQ(std::system(("convert -size 150x100 xc:blue " + gif).c_str()), 0);
        EXPECT_EQ(decoded_size(gif), QSize(150, 100));
    }
    // A metafile renders at its own size: 1 x 0.5 inch, the rectangle red.
    const auto wmf = file("p.wmf", testing::wmf_bytes(1440, 720, 1440));
    EXPECT_EQ(decoded_size(wmf), QSize(96, 48));
    const QColor middle = dynamic_cast<const QtImage&>(*decoder.decode(wmf)->image).image().pixelColor(48, 24);
    EXPECT_TRUE(middle.red() > 200 && middle.green() < 60);
    EXPECT_TRUE(looks_like_wmf(testing::wmf_bytes(100, 100, 1440).substr(22)));  // a plain one, without placement
    EXPECT_FALSE(looks_like_wmf("BM" + std::string(40, '\0')));
}

TEST_F(Pictures, DecodingAMetafileKeepsNoMemory) {
    // Each metafile decode once leaked the pixels libwmf drew (3.7 MB here).
    const auto path = file("big.wmf", testing::wmf_bytes(14400, 14400, 1440));  // 960 x 960 pixels
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

TEST_F(Pictures, BrokenHugeOrMissingFilesFailWithPictureError) {
    const std::string broken[][2] = {
        {"bad.bmp", std::string("BM") + std::string(60, '\x7F')},
        {"bad.gif", "GIF89a" + std::string(40, '\x01')},
        {"bad.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(40, '\x13')},
        {"bad.ico", std::string("\x00\x00\x01\x00\x01\x00", 6) + std::string(30, '\x55')},
        {"text.jpg", "just some text, not a picture\n"},
        {"empty.bmp", ""},
        {"bad.wmf", testing::wmf_bytes(1440, 720, 1440).substr(0, 30)},  // cut short after its headers
        {"huge.bmp", testing::bmp_bytes(20000, 20000, 0, false) + std::string(64, '\0')},  // refused before decoding
        {"huge.wmf", testing::wmf_bytes(30000, 30000, 100)},  // 300 x 300 inch
        {"large.wmf", testing::wmf_bytes(4300, 4300, 100)},   // 4128 pixels square: more than a metafile may draw
    };
    for (const auto& [name, bytes] : broken) {
        EXPECT_THROW((void)decoder.decode(file(name, bytes)), rt::PictureError) << name;
    }
    EXPECT_THROW((void)decoder.decode((dir.path() / "missing.bmp").string()), rt::PictureError);
    EXPECT_FALSE(decoder.identify((dir.path() / "missing.bmp").string()).has_value());
    EXPECT_FALSE(decoder.identify(dir.path().string()).has_value());  // a folder is no picture file
}

TEST_F(Pictures, TheCacheDecodesAnUnchangedFileOnce) {
    rt::PictureService service(decoder);
    const auto path = image("p.bmp", 40, 30, "BMP");
    EXPECT_EQ(service.load(path), service.load(path));
    EXPECT_EQ(service.decodes(), 1U);
    std::filesystem::remove(path);  // replaced by another picture: decoded again
    image("p.bmp", 80, 30, "BMP");
    EXPECT_EQ(service.load(path)->himetric_width, pixels_to_himetric(80, 96.0));
    EXPECT_EQ(service.decodes(), 2U);
    std::filesystem::remove(path);
    EXPECT_THROW((void)service.load(path), rt::PictureError);
}

}  // namespace
}  // namespace vellora::qt
