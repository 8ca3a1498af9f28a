#include "output/PngFile.h"

#include <png.h>

#include <new>
#include <vector>

#include "core/VelmError.h"

namespace velm {

namespace {
// libpng is C: its errors leave through longjmp to WriteImage, and only there
// become an exception, so no C++ frame is ever skipped by the jump.
struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::string message;

    ~PngWriter() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
    try {
        writer->message = message ? message : "";
    } catch (...) {
        writer->message.clear();
    }
    png_longjmp(png, 1);
}

// Holds no object with a destructor, so that the longjmp back into it is safe.
// A row source that throws does so between libpng's calls, never through them.
bool WriteImage(PngWriter& writer, std::FILE* file, int width, int height, const PictureRow& rows, png_text* texts) {
    png_structp png = writer.png;
    png_infop info = writer.info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_text(png, info, texts, 2);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(rows(y)));
    png_write_end(png, nullptr);
    // Buffered bytes that cannot reach the disk fail here, as libpng's own writes do.
    if (std::fflush(file) != 0) png_error(png, "Write Error");
    return true;
}
}  // namespace

void WritePng(std::FILE* file, const Dib& dib, const std::string& title) {
    if (!dib.Valid()) throw VelmError("Unable to write bitmap (invalid dib)");
    std::vector<png_byte> row;
    try {
        row.resize(static_cast<std::size_t>(dib.width) * 3);
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to write png file (insufficient memory)");
    }
    const std::size_t stride = dib.ImageSize() / static_cast<std::size_t>(dib.height);
    WritePngRows(file, dib.width, dib.height, [&](int y) {
        // The last DIB row is the top of the picture.
        const std::uint8_t* from = dib.bits.data() + static_cast<std::size_t>(dib.height - 1 - y) * stride;
        png_bytep to = row.data();
        for (int x = 0; x < dib.width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
        return row.data();
    }, title);
}

void WritePngRows(std::FILE* file, int width, int height, const PictureRow& rows, const std::string& title) {
    try {
        if (width <= 0 || height <= 0) throw VelmError("Unable to write bitmap (invalid dib)");
        PngWriter writer;
        writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, OnPngError, nullptr);
        if (!writer.png) throw VelmError("Unable to initialize PNG data");
        writer.info = png_create_info_struct(writer.png);
        if (!writer.info) throw VelmError("Unable to write png file (png_create_info_struct)");

        std::string titleKey = "Title", titleText = title, authorKey = "Author", authorText = "Velm";
        png_text texts[2] = {};
        texts[0].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[0].key = titleKey.data();
        texts[0].text = titleText.data();
        texts[0].text_length = titleText.size();
        texts[1].compression = PNG_TEXT_COMPRESSION_NONE;
        texts[1].key = authorKey.data();
        texts[1].text = authorText.data();
        texts[1].text_length = authorText.size();

        if (!WriteImage(writer, file, width, height, rows, texts)) throw VelmError(writer.message);
    } catch (const VelmError&) {
        throw;
    } catch (...) {
        throw VelmError("Unspecified error writing png file");
    }
}

}  // namespace velm
