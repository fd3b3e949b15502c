// mkfont: turns the text drawing of the screen font (tools/font/glyphs.txt) into font.bmp,
// a 256x24 24-bit Windows BMP with 32 glyphs of 8x8 a row, glyph 0 being '!' (code 33).
// Lit pixels are white, the rest black.
//
//   mkfont <glyphs.txt> <font.bmp>
//
// Every printable character '!'..'~' must be drawn; code 127 and 128 may be. Any fault in
// the drawing (wrong row width or count, unknown pixel character, duplicate or
// out-of-range code) stops the tool with a message naming the line, and no image is written.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int cell = 8;
constexpr int glyphsPerRow = 32;
constexpr int glyphRows = 3;
constexpr int width = cell * glyphsPerRow; // 256
constexpr int height = cell * glyphRows;   // 24
constexpr int firstCode = 33;
constexpr int lastCode = firstCode + glyphsPerRow * glyphRows - 1; // 128

using Image = std::vector<std::uint8_t>; // one byte per pixel, 0 or 1, top row first

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    std::cerr << "mkfont: " << where << ": " << what << '\n';
    std::exit(1);
}

void put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A 24-bit BMP: BITMAPFILEHEADER, BITMAPINFOHEADER, then the rows bottom-up. A row of 256
// pixels is 768 bytes, already a multiple of four, so there is no padding.
std::string encodeBmp(const Image& image) {
    constexpr std::uint32_t headerSize = 14 + 40;
    constexpr std::uint32_t rowBytes = width * 3;
    constexpr std::uint32_t dataSize = rowBytes * height;
    std::string out;
    out += "BM";
    put32(out, headerSize + dataSize);
    put32(out, 0);
    put32(out, headerSize);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);  // planes
    put16(out, 24); // bits per pixel
    put32(out, 0);  // no compression
    put32(out, dataSize);
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            out.append(3, image[y * width + x] ? '\xFF' : '\0');
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: mkfont <glyphs.txt> <font.bmp>\n";
        return 2;
    }
    const std::string sourcePath = argv[1];
    std::ifstream source(sourcePath);
    if (!source) fail(sourcePath, "cannot open");

    Image image(width * height, 0);
    std::array<bool, lastCode + 1> drawn{};
    std::string line;
    int lineNumber = 0;
    int code = -1; // the glyph being read, -1 between glyphs
    int row = 0;
    while (std::getline(source, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string where = sourcePath + ":" + std::to_string(lineNumber);
        if (code < 0) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream words(line);
            std::string keyword;
            words >> keyword >> code;
            if (keyword != "code" || !words) fail(where, "expected \"code N\"");
            if (code < firstCode || code > lastCode)
                fail(where, "code " + std::to_string(code) + " is outside " +
                                std::to_string(firstCode) + ".." + std::to_string(lastCode));
            if (drawn[code]) fail(where, "code " + std::to_string(code) + " is drawn twice");
            drawn[code] = true;
            row = 0;
            continue;
        }
        if (line.size() != cell) fail(where, "a glyph row has exactly 8 pixels");
        const int glyph = code - firstCode;
        const int left = cell * (glyph % glyphsPerRow);
        const int top = cell * (glyph / glyphsPerRow);
        for (int x = 0; x < cell; ++x) {
            if (line[x] != '#' && line[x] != '.') fail(where, "pixels are '#' (lit) or '.' (dark)");
            image[(top + row) * width + left + x] = line[x] == '#';
        }
        if (++row == cell) code = -1;
    }
    if (code >= 0)
        fail(sourcePath, "the glyph for code " + std::to_string(code) + " has fewer than 8 rows");
    for (int c = firstCode; c <= 126; ++c)
        if (!drawn[c]) fail(sourcePath, "no glyph for code " + std::to_string(c));

    const std::string bmp = encodeBmp(image);
    const std::string outputPath = argv[2];
    const std::string partPath = outputPath + ".part";
    {
        std::ofstream out(partPath, std::ios::binary | std::ios::trunc);
        out.write(bmp.data(), static_cast<std::streamsize>(bmp.size()));
        if (!out) fail(partPath, "cannot write");
    }
    if (std::rename(partPath.c_str(), outputPath.c_str()) != 0) fail(outputPath, "cannot write");
    return 0;
}
