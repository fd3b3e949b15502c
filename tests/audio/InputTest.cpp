#include "audio/Input.h"
#include "audio/ControlBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

// Queues events such as "shift+A Keypad_1 up+P quit" (SDL key names, '_' for a blank), and
// "'b_f806" for the text typed.
void push(const std::string& list) {
    std::istringstream in(list);
    for (std::string key; in >> key;) {
        SDL_Event e{};
        if (key[0] == '\'') {
            e.type = SDL_TEXTINPUT;
            std::replace(key.begin(), key.end(), '_', ' ');
            std::snprintf(e.text.text, sizeof e.text.text, "%s", key.c_str() + 1);
            ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
            continue;
        }
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

std::string describe(Input& input, const ControlBlock& c) {
    std::string s;
    const auto word = [&](bool on, const std::string& w) { s += on ? " " + w : ""; };
    const auto count = [&](int n, const char* w) { word(n != 0, w + std::to_string(n)); };
    word(c.step, "step"), word(c.irq, "irq"), word(c.reset, "reset"), word(c.enter, "enter");
    word(c.load, "load"), word(c.switchPanel, "tab");
    count(c.cursorDx, "dx"), count(c.cursorDy, "dy");
    word(c.hexDigit != -1, "digit" + std::to_string(c.hexDigit));
    count(c.adjust, "adjust"), count(c.speedDelta, "speed");
    word(c.switchInstructionSet, "cpu");
    word(c.stepOver, "over"), word(c.stepOut, "out"), count(c.back, "back");
    const Input::Keys k = input.takeKeys();
    count(k.record, "rec"), count(k.trace, "trace"), count(k.help, "help");
    count(k.labels, "labels");
    for (std::int32_t i = 0; i < c.commandCount; ++i) {
        const auto& command = c.commands[static_cast<std::size_t>(i)];
        char text[16];
        std::snprintf(text, sizeof text, "%c:%02X", "GWS"[static_cast<int>(command.kind)],
                      command.value);
        word(true, text);
    }
    char entry[18] = "[";
    input.entry.describe(reinterpret_cast<char(&)[16]>(entry[1]));
    word(input.entry.open(), std::strcat(entry, "]"));
    word(c.running, "run"), word(c.pending, "pending");
    return s.substr(s.empty() ? 0 : 1);
}

} // namespace

// Each row starts from a full stale batch. A quit returns false and leaves pending unset; what
// follows a quit, or a batch full of typed entries, waits for the next poll.
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
        {false, "up+I up+P up+Escape click Keypad_1 Keypad_Enter Y F1 F2 Keypad_-", "pending"},
        {false, "I P Escape R", "irq run", "reset run pending"},
        {false, "I P quit R", "irq run", "reset run pending"},
        // Typed entries: digits go to the entry, in order, however many arrive at once.
        {false, "G F 8 4 5 6", "digit6 G:F845 pending"},
        {false, "G F 8 Backspace Backspace 1 2 3 4", "G:1234 pending"},
        {false, "W 0 4 0", "[watch at 040_] pending"},
        {false, "S 3 C W 0 4 0 0 S 0 1", "S:3C W:400 S:01 pending"},
        {false, "G 1 Escape 2 S Backspace 7", "digit7 pending"},
        {false, "S 1 Escape Escape R", "", "reset pending"},
        {false, "S 1 1 S 2 2 S 3 3 S 4 4 S 5 5 S 6 6 S 7 7 S 8 8 S 9 9 I",
         "S:11 S:22 S:33 S:44 S:55 S:66 S:77 S:88 pending", "irq S:99 pending"},
        {true, "O", "over pending"},
        {true, "U T", "out trace1 pending"},
        // Main-thread keys count every press: V V starts and stops a recording.
        {false, "V V T T T H N N", "rec2 trace3 help1 labels2 pending"}};
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
        input.entry = {};
        control.running = c.running;
        control.pending = false;
        push(c.events);
        EXPECT_EQ(input.poll(control), c.batch.ends_with("pending")); // false: quit
        EXPECT_EQ(describe(input, control), c.batch);
        EXPECT_TRUE(c.next.empty() || (input.poll(control) && describe(input, control) == c.next));
    }
    SDL_Quit();
}

// : or ; (with the text event its key makes) opens the command line on the debugger screen;
// then every key goes to it, Escape closes it without quitting, Return runs it and leaves the
// keys after it queued. Each row: events, the batch, whether the line is open and its text
// (or what Return submitted). A line equal to the last one run is not kept twice.
TEST(InputPoll, TheCommandLineTakesEveryKey) {
    const struct {
        bool debugging;
        std::string events, batch, line;
    } cases[] = {
        {false, "; ';", "pending", "closed ''"},
        {true, "; ';", "pending", "open ''"},
        {true, "shift+; ': 'b_f806 Return P", "pending", "closed submitted=b f806"},
        {true, "; '; 1 '1 [ '[ I 'i Backspace G 'g", "pending", "open '1[g'"},
        {true, "; '; 'a=1 Escape P", "run pending", "closed 'a=1'"},
        {true, "G 1 ; '; '; Escape", "pending", "closed ';'"},
        {true, "; '; 'x=ff Return", "pending", "closed submitted=x=ff"},
        {true, "; '; Up Up Up", "pending", "open 'a=1'"},
        {true, "; '; Up Up Down", "pending", "open 'x=ff'"},
        {true, "; '; Up Down 'g Down", "pending", "open ''"},
        {true, "P Z Z ; '; Z 'z", "back2 pending", "open 'z'"},
        {true, "; '; 'go quit", "", "open 'go'"},
    };
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    Input input;
    input.line.history = {"a=1", "b f806"};
    ControlBlock control;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        input.line.open = false;
        input.line.submitted.clear();
        input.entry = {};
        input.debugging = c.debugging;
        control.running = false;
        control.pending = false;
        push(c.events);
        const bool keepRunning = input.poll(control);
        EXPECT_EQ(keepRunning, c.events.find("quit") == std::string::npos);
        EXPECT_EQ(describe(input, control), c.batch);
        const Input::Line& l = input.line;
        EXPECT_EQ((l.open ? "open " : "closed ") +
                      (l.submitted.empty() ? "'" + l.text + "'" : "submitted=" + l.submitted),
                  c.line);
    }
    EXPECT_EQ(input.line.history, (std::vector<std::string>{"a=1", "b f806", "x=ff"}));
    SDL_Quit();
}
