#include "rom/RomImage.h"

#include <SDL.h>

#include <system_error>

bool RomImage::read(const std::filesystem::path& path, RomImage& image, std::string& error) {
    image.length = 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = ec ? ec.message() : "not a regular file";
        return false;
    }
    SDL_RWops* stream = SDL_RWFromFile(path.c_str(), "rb");
    if (stream == nullptr) {
        error = SDL_GetError();
        return false;
    }
    // SDL_RWread gives 0 both at the end of the file and on an error (a directory opens
    // fine on Linux and only fails to read); the error text tells them apart.
    SDL_ClearError();
    while (image.length < image.bytes.size()) {
        const std::size_t got = SDL_RWread(stream, image.bytes.data() + image.length, 1,
                                           image.bytes.size() - image.length);
        if (got == 0) break;
        image.length += got;
    }
    error = SDL_GetError();
    SDL_RWclose(stream);
    return error.empty();
}
