// Picture files on Linux: arbitrary bytes saved as a BMP, GIF, JPEG, ICO,
// WMF, PNG, TIFF or WebP file and loaded through the picture service over
// the Qt decoder (and Qt's image format plugins). The load either gives a
// picture with pixels and a positive size within the caps of decoded
// pictures, served again from the decoded copy on the next load, or fails
// with a PictureError; nothing else may come out of it.
#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "platform/qt/pictures.h"
#include "runtime/picture.h"

namespace {

constexpr const char* kExtensions[] = {"bmp", "gif", "jpg", "ico", "wmf", "png", "tif", "webp"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The image format plug-ins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string extension = in.PickValueInArray(kExtensions);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const std::string path = (vellora::fuzz::scratch_dir() / ("picture." + extension)).string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    vellora::qt::QtPictureDecoder decoder([] { return 96.0; });
    vellora::rt::PictureService pictures(decoder);
    vellora::rt::Picture picture;
    try {
        picture = pictures.load(path);
    } catch (const vellora::rt::PictureError&) {
        VELLORA_FUZZ_CHECK(pictures.decodes() <= 1);  // none when the header was refused
        return 0;
    }
    VELLORA_FUZZ_CHECK(picture != nullptr);
    VELLORA_FUZZ_CHECK(picture->image != nullptr);
    VELLORA_FUZZ_CHECK(picture->himetric_width > 0 && picture->himetric_height > 0);
    const auto* native = dynamic_cast<const vellora::qt::QtImage*>(picture->image.get());
    VELLORA_FUZZ_CHECK(native != nullptr && !native->image().isNull());
    VELLORA_FUZZ_CHECK(vellora::rt::decoded_size_allowed({native->image().width(), native->image().height()}));
    // An unchanged file is served from the decoded copy.
    VELLORA_FUZZ_CHECK(pictures.load(path) == picture);
    VELLORA_FUZZ_CHECK(pictures.decodes() == 1);
    return 0;
}
