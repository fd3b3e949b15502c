#include "audio/Input.h"
#include "audio/ControlBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

// Queues events such as "shift+A Keypad_1 up+P quit" (SDL key names, '_' for a blank).
void push(const std::string& list) {
    std::istringstream in(list);
    for (std::string key; in >> key;) {
        SDL_Event e{};
        const auto take = [&](const std::string& prefix) {
            const bool has = key.rfind(prefix, 0) == 0;
            key.erase(0, has ? prefix.size() : 0);
            return has;
        };
        e.key.keysym.mod = take("shift+") ? KMOD_LSHIFT : take("caps+") ? KMOD_CAPS : KMOD_NONE;
        e.key.repeat = take("rep+");
        e.type = take("up+")      ? SDL_KEYUP
                 : key == "quit"  ? SDL_QUIT
                 : key == "click" ? SDL_MOUSEBUTTONDOWN
                                  : SDL_KEYDOWN;
        std::replace(key.begin(), key.end(), '_', ' ');
        e.key.keysym.sym = SDL_GetKeyFromName(key.c_str());
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
}

std::string describe(const ControlBlock& c) {
    std::string s;
    const auto word = [&](bool on, const std::string& w) { s += on ? " " + w : ""; };
    word(c.step, "step"), word(c.irq, "irq"), word(c.reset, "reset"), word(c.enter, "enter");
    word(c.load, "load"), word(c.switchPanel, "tab");
    word(c.cursorDx, "dx" + std::to_string(c.cursorDx));
    word(c.cursorDy, "dy" + std::to_string(c.cursorDy));
    word(c.hexDigit != -1, "digit" + std::to_string(c.hexDigit));
    word(c.adjust, "adjust" + std::to_string(c.adjust));
    word(c.speedDelta, "speed" + std::to_string(c.speedDelta));
    word(c.switchInstructionSet, "cpu");
    word(c.running, "run"), word(c.pending, "pending");
    return s.substr(s.empty() ? 0 : 1);
}

} // namespace

// Each row starts from a full stale batch; a quit returns false, the rest waits for the next poll.
TEST(InputPoll, KeysBecomeOneBatch) {
    const struct {
        bool running;
        std::string events, batch, next = "";
    } cases[] = {
        {false, "", "pending"},
        {false, "I R L Return Tab 0", "irq reset enter load tab digit0 pending"},
        {false, "Right Up = ] 9", "dx1 dy-1 digit9 adjust1 speed1 pending"},
        {false, "Left Down - [ shift+A caps+F", "dx-1 dy1 digit15 adjust-1 speed-1 pending"},
        {false, "3 B Left Right Down Down = - ] [", "dx1 dy1 digit11 adjust-1 speed-1 pending"},
        {false, "shift+P", "run pending"},
        {true, "rep+P", "pending"},
        {true, "P P", "run pending"},
        {false, "X X", "cpu pending"},
        {true, "Space", "step pending"},
        {false, "P Space", "step pending"},
        {false, "Space P", "step run pending"},
        {false, "up+I up+P up+Escape click Keypad_1 Keypad_Enter Y F1 PageDown Keypad_-",
         "pending"},
        {false, "I P Escape R", "irq run", "reset run pending"},
        {false, "I P quit R", "irq run", "reset run pending"}};
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    Input input;
    ControlBlock control;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        control.step = control.irq = control.reset = control.enter = control.load = true;
        control.switchPanel = control.switchInstructionSet = true;
        control.cursorDx = control.cursorDy = control.adjust = control.speedDelta = 1;
        control.hexDigit = 7;
        control.running = c.running;
        control.pending = false;
        push(c.events);
        EXPECT_EQ(input.poll(control), c.next.empty());
        EXPECT_EQ(describe(control), c.batch);
        EXPECT_TRUE(c.next.empty() || (input.poll(control) && describe(control) == c.next));
    }
    SDL_Quit();
}
