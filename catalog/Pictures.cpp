#include "catalog/Pictures.h"

#include "capture/ReplacingFile.h"

#include <fftw3.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>

namespace {

using Rgb = std::array<std::uint8_t, 3>;

constexpr int waveformWidth = 800;
constexpr int waveformHeight = 160;
constexpr std::size_t window = 1024;
constexpr std::size_t hop = 256;
constexpr int spectrogramHeight = 256; // two of the window's 512 bins below Nyquist a row
constexpr double floorDb = -90.0;
// A full-scale sine (the DAC swinging over its whole range, +-0.128) under the Hann window
// peaks at amplitude * window / 4 in its bin.
constexpr double fullScale = 0.128 * window / 4;

// Encodes width x height RGB pixels with libpng and writes them to path.
bool writePng(const std::string& path, int width, int height, const std::vector<Rgb>& pixels,
              std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    const std::string failed = "cannot write " + path + ": ";
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) {
        error = failed + image.message;
        return false;
    }
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr)) {
        error = failed + image.message;
        return false;
    }
    return writeWholeFile(path, bytes.data(), size, error);
}

Rgb ramp(double t) {
    static constexpr Rgb stops[] = {
        {0, 0, 0}, {20, 20, 140}, {170, 30, 90}, {250, 150, 20}, {255, 255, 230}};
    constexpr int last = static_cast<int>(std::size(stops)) - 1;
    const double at = std::clamp(t, 0.0, 1.0) * last;
    const int i = std::min(static_cast<int>(at), last - 1);
    const double f = at - i;
    Rgb colour;
    for (int c = 0; c < 3; ++c)
        colour[c] = static_cast<std::uint8_t>(
            std::lround(stops[i][c] + f * (stops[i + 1][c] - stops[i][c])));
    return colour;
}

// The DAC byte behind a sample: the inverse of AudioEngine::sampleFor.
int dacByte(float sample) {
    return std::clamp(static_cast<int>(std::lround(sample * 1000.0f)) + 127, 0, 255);
}

} // namespace

bool writeWholeFile(const std::string& path, const void* bytes, std::size_t size,
                    std::string& error) {
    ReplacingFile file;
    if (!file.open(path, error)) return false;
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(file.fd(), data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write " + path + ": " + std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return file.commit(error);
}

PictureSize waveformSize(std::size_t) {
    return {waveformWidth, waveformHeight};
}

PictureSize spectrogramSize(std::size_t length) {
    const std::size_t columns = length > window ? (length - window) / hop + 1 : 1;
    return {static_cast<int>(columns), spectrogramHeight};
}

bool writeWaveform(const std::string& path, const std::vector<float>& samples, std::size_t length,
                   std::string& error) {
    length = std::min(length, samples.size());
    const int w = waveformWidth, h = waveformHeight;
    std::vector<Rgb> pixels(static_cast<std::size_t>(w * h), Rgb{16, 18, 24});
    const auto row = [h](int byte) { return (255 - byte) * (h - 1) / 255; };
    for (int x = 0; x < w; ++x)
        pixels[static_cast<std::size_t>(row(0x7F) * w + x)] = {60, 60, 72};
    for (int x = 0; x < w && length > 0; ++x) {
        const std::size_t begin = static_cast<std::size_t>(x) * length / w;
        const std::size_t end = std::max(begin + 1, static_cast<std::size_t>(x + 1) * length / w);
        const auto [low, high] =
            std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                                samples.begin() + static_cast<std::ptrdiff_t>(end));
        for (int y = row(dacByte(*high)); y <= row(dacByte(*low)); ++y)
            pixels[static_cast<std::size_t>(y * w + x)] = {90, 200, 255};
    }
    return writePng(path, w, h, pixels, error);
}

bool writeSpectrogram(const std::string& path, const std::vector<float>& samples,
                      std::size_t length, std::string& error) {
    length = std::min(length, samples.size());
    const PictureSize size = spectrogramSize(length);
    // fftw_malloc aligns both arrays, so the plan (and so every value) is the same each run.
    const std::unique_ptr<double, void (*)(void*)> in(
        static_cast<double*>(fftw_malloc(sizeof(double) * window)), fftw_free);
    const std::unique_ptr<fftw_complex, void (*)(void*)> out(
        static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (window / 2 + 1))),
        fftw_free);
    if (!in || !out) {
        error = "cannot write " + path + ": out of memory";
        return false;
    }
    const std::unique_ptr<fftw_plan_s, void (*)(fftw_plan)> plan(
        fftw_plan_dft_r2c_1d(static_cast<int>(window), in.get(), out.get(), FFTW_ESTIMATE),
        fftw_destroy_plan);
    std::array<double, window> hann;
    for (std::size_t i = 0; i < window; ++i)
        hann[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / window);
    std::vector<Rgb> pixels(static_cast<std::size_t>(size.width * size.height));
    for (int x = 0; x < size.width; ++x) {
        const std::size_t first = static_cast<std::size_t>(x) * hop;
        for (std::size_t i = 0; i < window; ++i)
            in.get()[i] = first + i < length ? samples[first + i] * hann[i] : 0.0;
        fftw_execute(plan.get());
        for (int r = 0; r < size.height; ++r) {
            double magnitude = 0;
            for (std::size_t bin = 2 * static_cast<std::size_t>(r); bin < 2 * (r + 1u); ++bin)
                magnitude = std::max(magnitude, std::hypot(out.get()[bin][0], out.get()[bin][1]));
            const double db = 20 * std::log10(std::max(magnitude / fullScale, 1e-12));
            pixels[static_cast<std::size_t>((size.height - 1 - r) * size.width + x)] =
                ramp(1.0 - db / floorDb);
        }
    }
    return writePng(path, size.width, size.height, pixels, error);
}
