#include "audio/Input.h"

#include "audio/ControlBlock.h"
#include "debug/Command.h"

#include <utility>

namespace {

using Kind = ControlBlock::Command::Kind;

// 0..15 for the keys 0-9 and A-F, else -1.
int hexValue(SDL_Keycode key) {
    if (key >= SDLK_0 && key <= SDLK_9) return key - SDLK_0;
    if (key >= SDLK_a && key <= SDLK_f) return 10 + (key - SDLK_a);
    return -1;
}

// A key while an address or byte is being typed: a hex digit goes to it (its last digit
// completes it into a command), Backspace takes one back. False for any other key.
bool takeEntryKey(SDL_Keycode key, TypedEntry& entry, ControlBlock& control) {
    if (key == SDLK_BACKSPACE) {
        if (entry.digits == 0) {
            entry = TypedEntry{};
        } else {
            entry.value = static_cast<std::uint16_t>(entry.value >> 4);
            --entry.digits;
        }
        return true;
    }
    const int digit = hexValue(key);
    if (digit < 0) return false;
    entry.value = static_cast<std::uint16_t>(entry.value << 4 | digit);
    if (++entry.digits < entry.length()) return true;
    control.commands[static_cast<std::size_t>(control.commandCount++)] = {entry.kind, entry.value};
    entry = TypedEntry{};
    return true;
}

// SDL key codes: the key symbol under the current layout. Letters arrive lower case
// whatever Shift or Caps Lock say; keypad keys have codes of their own and do nothing.
void applyKey(SDL_Keycode key, Input& input, ControlBlock& control) {
    switch (key) {
    case SDLK_SPACE:
        control.step = true;
        control.setRunning(false);
        break;
    case SDLK_p: control.setRunning(!control.isRunning()); break;
    case SDLK_i: control.irq = true; break;
    case SDLK_r: control.reset = true; break;
    case SDLK_l: control.load = true; break;
    case SDLK_RETURN: control.enter = true; break;
    case SDLK_RIGHT: control.cursorDx = 1; break;
    case SDLK_LEFT: control.cursorDx = -1; break;
    case SDLK_DOWN: control.cursorDy = 1; break;
    case SDLK_UP: control.cursorDy = -1; break;
    case SDLK_MINUS: control.adjust = -1; break;
    case SDLK_EQUALS: control.adjust = 1; break;
    case SDLK_TAB: control.switchPanel = true; break;
    case SDLK_LEFTBRACKET: control.speedDelta = -1; break;
    case SDLK_RIGHTBRACKET: control.speedDelta = 1; break;
    case SDLK_h: ++input.keys.help; break;
    case SDLK_F11: ++input.keys.fullscreen; break;
    case SDLK_v: ++input.keys.record; break;
    case SDLK_n: ++input.keys.labels; break;
    case SDLK_x: control.switchInstructionSet = true; break;
    case SDLK_g: input.entry = TypedEntry{true, Kind::Break}; break;
    case SDLK_w: input.entry = TypedEntry{true, Kind::Watch}; break;
    case SDLK_s: input.entry = TypedEntry{true, Kind::Sound}; break;
    case SDLK_o:
        control.stepOver = true;
        control.setRunning(false);
        break;
    case SDLK_u:
        control.stepOut = true;
        control.setRunning(false);
        break;
    case SDLK_t: ++input.keys.trace; break;
    case SDLK_PAGEDOWN: ++input.keys.pages; break;
    case SDLK_PAGEUP: --input.keys.pages; break;
    case SDLK_HOME: input.keys.ends = -1; break;
    case SDLK_END: input.keys.ends = 1; break;
    case SDLK_z: // as Space, it stops a run first
        if (!input.debugging) break;
        ++control.back;
        control.setRunning(false);
        break;
    default:
        if (const int digit = hexValue(key); digit >= 0) control.hexDigit = digit;
        break;
    }
}

void openLine(Input& input) {
    input.line.open = true;
    input.line.text.clear();
    input.line.recalled = input.line.history.size();
    input.line.skipOpener = true;
    input.entry = TypedEntry{};
    SDL_StartTextInput();
}

// An event while the command line is open: text, Return, Escape, Backspace, Up and Down.
void takeLineEvent(const SDL_Event& event, Input::Line& line) {
    if (event.type == SDL_TEXTINPUT) {
        const std::string text = event.text.text;
        if (!std::exchange(line.skipOpener, false) || (text != ":" && text != ";"))
            line.text = (line.text + text).substr(0, Input::Line::maxLength);
        return;
    }
    if (event.type != SDL_KEYDOWN) return;
    line.skipOpener = false;
    const std::vector<std::string>& history = line.history;
    switch (event.key.keysym.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (!line.text.empty() && (history.empty() || history.back() != line.text)) {
            if (history.size() == Input::Line::historyLength)
                line.history.erase(line.history.begin());
            line.history.push_back(line.text);
        }
        line.submitted = line.text;
        [[fallthrough]];
    case SDLK_ESCAPE:
        // Text input stays on, as SDL starts it: stopped, the text of keys typed right after
        // the next : would be lost before the poll that opens the line could start it again.
        line.open = false;
        break;
    case SDLK_BACKSPACE: // a whole character, however many bytes it takes
        while (!line.text.empty() && (line.text.back() & 0xC0) == 0x80)
            line.text.pop_back();
        if (!line.text.empty()) line.text.pop_back();
        break;
    case SDLK_UP:
        if (line.recalled > 0) line.text = history[--line.recalled];
        break;
    case SDLK_DOWN:
        if (line.recalled < history.size()) ++line.recalled;
        line.text = line.recalled < history.size() ? history[line.recalled] : "";
        break;
    default: break;
    }
}

} // namespace

bool Input::runSubmitted(ControlBlock& control, const Mc6802& cpu, const DebugStatus& status,
                         const Labels* labels, DebugCommand& command, std::string& text) {
    if (line.submitted.empty()) return false;
    const bool good =
        DebugCommand::parse(line.submitted, labels, cpu, status, command, line.answer);
    text = line.last = std::exchange(line.submitted, "");
    line.failed = !good;
    if (!good) return false;
    if (command.onMainThread()) return true;
    control.clearBatch();
    control.line = command;
    control.hasLine = true;
    control.pending.store(true, std::memory_order_release);
    return false;
}

bool Input::poll(ControlBlock& control) {
    control.clearBatch();
    // A line run waits for runSubmitted; the keys after it wait for it.
    if (!line.submitted.empty()) return true;
    // A batch holds a few completed entries; any keys after a full one wait for the next
    // poll, still queued and in order.
    while (control.commandCount < ControlBlock::maxCommands && SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_DROPFILE) {
            if (event.drop.file != nullptr) {
                dropped = event.drop.file;
                SDL_free(event.drop.file);
            }
            continue;
        }
        if (line.open) {
            takeLineEvent(event, line);
            if (!line.submitted.empty()) break;
            continue;
        }
        if (event.type != SDL_KEYDOWN) continue;
        // Auto-repeated key-downs count as presses.
        const SDL_Keycode key = event.key.keysym.sym;
        if (key == SDLK_ESCAPE) {
            if (!entry.open()) return false;
            entry = TypedEntry{}; // Escape cancels the entry; only then does it quit
            continue;
        }
        if (entry.open() && takeEntryKey(key, entry, control)) continue;
        if (debugging && (key == SDLK_SEMICOLON || key == SDLK_COLON)) {
            openLine(*this);
            continue;
        }
        applyKey(key, *this, control);
    }
    // Last, and a release: the audio thread that sees it also sees the whole batch.
    control.pending.store(true, std::memory_order_release);
    return true;
}
