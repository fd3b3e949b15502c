#include "ui/HelpOverlay.h"

#include "ui/BitmapFont.h"

#include <algorithm>
#include <cstring>

namespace {

void put(char* out, const char* text, std::size_t columns) {
    std::memcpy(out, text, std::min(std::strlen(text), columns));
}

} // namespace

void HelpOverlay::format(int line, char (&out)[lineColumns + 1]) {
    std::memset(out, ' ', lineColumns);
    out[lineColumns] = '\0';
    const int row = line - 4;
    if (line == 0) {
        put(out, "Keys", lineColumns);
    } else if (line == 2 || line == 3) {
        const Row heads{"Key", "Debugger", "ROM selection"};
        const Row rules{"---", "--------", "-------------"};
        const Row& r = line == 2 ? heads : rules;
        put(out, r.key, keyColumns);
        put(out + keyColumns, r.debugger, debuggerColumns);
        put(out + keyColumns + debuggerColumns, r.selection, selectionColumns);
    } else if (row >= 0 && row < rowCount) {
        put(out, rows[row].key, keyColumns);
        put(out + keyColumns, rows[row].debugger, debuggerColumns);
        put(out + keyColumns + debuggerColumns, rows[row].selection, selectionColumns);
    } else if (line == lineCount - 1) {
        put(out, "H closes this help", lineColumns);
    }
}

void HelpOverlay::formatCommands(int line, char (&out)[lineColumns + 1]) {
    std::memset(out, ' ', lineColumns);
    out[lineColumns] = '\0';
    if (line >= 0 && line < commandCount) put(out, commands[line], lineColumns);
    if (line == lineCount - 1) put(out, "H closes this help", lineColumns);
}

void HelpOverlay::draw(SDL_Renderer* renderer, BitmapFont& font, bool showCommands) {
    Uint8 r, g, b, a;
    SDL_GetRenderDrawColor(renderer, &r, &g, &b, &a);
    const SDL_Rect box{textX - 8, textY - 8, 8 * lineColumns + 16, 8 * lineCount + 16};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderFillRect(renderer, &box);
    SDL_SetRenderDrawColor(renderer, 255, 100, 100, 255);
    SDL_RenderDrawRect(renderer, &box);
    SDL_SetRenderDrawColor(renderer, r, g, b, a);

    char text[lineColumns + 1];
    for (int line = 0; line < lineCount; ++line) {
        if (showCommands)
            formatCommands(line, text);
        else
            format(line, text);
        if (line < (showCommands ? 1 : 4) || line == lineCount - 1)
            font.setColor(255, 100, 100);
        else
            font.setColor(255, 255, 255);
        font.drawText(text, lineColumns, textX, textY + 8 * line);
    }
}
