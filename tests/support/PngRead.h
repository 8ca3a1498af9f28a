#pragma once
// Reads a PNG file back with libpng's own reader, independent of the writer.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace velm::test {

// What libpng's reader finds in a file, independent of the writer's code.
struct ReadPng {
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    std::map<std::string, std::string> texts;
    std::vector<int> textCompression;
    std::vector<std::vector<std::uint8_t>> rows;  // top first
};

inline bool ReadRows(png_structp png, png_infop info, std::FILE* file) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    return true;
}

inline ReadPng ReadBack(const std::string& path) {
    ReadPng out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ADD_FAILURE() << "cannot open " << path;
        return out;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (ReadRows(png, info, file)) {
        png_get_IHDR(png, info, &out.width, &out.height, &out.bitDepth, &out.colourType, &out.interlace, nullptr,
                     nullptr);
        png_textp texts = nullptr;
        const int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i) {
            out.texts[texts[i].key] = std::string(texts[i].text, texts[i].text_length);
            out.textCompression.push_back(texts[i].compression);
        }
        png_bytepp rows = png_get_rows(png, info);
        const std::size_t rowBytes = png_get_rowbytes(png, info);
        for (png_uint_32 y = 0; y < out.height; ++y) out.rows.emplace_back(rows[y], rows[y] + rowBytes);
    } else {
        ADD_FAILURE() << "libpng could not read " << path;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return out;
}

}  // namespace velm::test
