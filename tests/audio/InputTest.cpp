#include "audio/Input.h"
#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A key-down (or another event) as SDL delivers it.
struct Event {
    SDL_Event e{};
    Event(SDL_Keycode sym, Uint32 type = SDL_KEYDOWN, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
    }
    void push() { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
};

// The mailbox in words: every field that differs from an empty batch, then running and pending.
std::string describe(const ControlBlock& c) {
    const std::pair<bool, const char*> flags[] = {{c.step, "step"},   {c.irq, "irq"},
                                                  {c.reset, "reset"}, {c.enter, "enter"},
                                                  {c.load, "load"},   {c.switchPanel, "tab"}};
    const std::tuple<std::int32_t, std::int32_t, const char*> values[] = {
        {c.cursorDx, 0, "dx"},
        {c.cursorDy, 0, "dy"},
        {c.hexDigit, -1, "digit"},
        {c.adjust, 0, "adjust"},
        {c.speedDelta, 0, "speed"}};
    std::string s;
    for (auto [on, word] : flags)
        if (on) s.append(" ").append(word);
    for (auto [value, none, word] : values)
        if (value != none) s.append(" ").append(word).append(std::to_string(value));
    if (c.running) s += " run";
    if (c.pending) s += " pending";
    return s.substr(std::min<std::size_t>(s.size(), 1));
}

} // namespace

// Each row starts from a batch with every field set and pending clear, so the rows also show
// that a poll starts a fresh batch. A quit returns false at once and leaves pending unset; the
// events after it wait for the next poll.
TEST(InputPoll, KeysBecomeOneBatch) {
    struct Case {
        bool running;
        std::vector<Event> events;
        std::string batch, next = "";
    };
    const SDL_Keycode space = SDLK_SPACE, p = SDLK_p;
    const Case cases[] = {
        {false, {}, "pending"},
        {false,
         {SDLK_i, SDLK_r, SDLK_l, SDLK_RETURN, SDLK_TAB, SDLK_0},
         "irq reset enter load tab digit0 pending"},
        {false,
         {SDLK_RIGHT, SDLK_UP, SDLK_EQUALS, SDLK_RIGHTBRACKET, SDLK_9},
         "dx1 dy-1 digit9 adjust1 speed1 pending"},
        {false,
         {SDLK_LEFT, SDLK_DOWN, SDLK_MINUS, SDLK_LEFTBRACKET,
          Event{SDLK_f, SDL_KEYDOWN, KMOD_CAPS}},
         "dx-1 dy1 digit15 adjust-1 speed-1 pending"},
        {false, {Event{SDLK_a, SDL_KEYDOWN, KMOD_LSHIFT}}, "digit10 pending"},
        // later events overwrite earlier ones
        {false,
         {SDLK_3, SDLK_b, SDLK_LEFT, SDLK_RIGHT, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_EQUALS,
          SDLK_MINUS, SDLK_RIGHTBRACKET, SDLK_LEFTBRACKET},
         "dx1 dy1 digit11 adjust-1 speed-1 pending"},
        {false, {Event{p, SDL_KEYDOWN, KMOD_LSHIFT | KMOD_CAPS}}, "run pending"},
        {true, {Event{p, SDL_KEYDOWN, KMOD_NONE, 1}}, "pending"}, // a repeat is a press
        {true, {p, p}, "run pending"},
        {false, {space}, "step pending"},
        {true, {space}, "step pending"},
        {false, {p, space}, "step pending"},
        {false, {space, p}, "step run pending"},
        // releases and the mouse (keys without a meaning: App.EveryKeyOnBothScreens)
        {false,
         {Event{SDLK_i, SDL_KEYUP}, Event{p, SDL_KEYUP}, Event{SDLK_ESCAPE, SDL_KEYUP},
          Event{0, SDL_MOUSEBUTTONDOWN}},
         "pending"},
        {false, {SDLK_i, p, SDLK_ESCAPE, SDLK_r}, "irq run", "reset run pending"},
        {false, {SDLK_i, p, Event{0, SDL_QUIT}, SDLK_r}, "irq run", "reset run pending"},
    };
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_PumpEvents();
    Input input;
    ControlBlock control;
    for (const Case& c : cases) {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        control.step = control.irq = control.reset = control.enter = control.load = true;
        control.switchPanel = true;
        control.cursorDx = control.cursorDy = control.adjust = control.speedDelta = 1;
        control.hexDigit = 7;
        control.running = c.running;
        control.pending = false;
        for (Event e : c.events)
            e.push();
        const bool quit = !c.next.empty();
        EXPECT_EQ(input.poll(control), !quit) << "row " << &c - cases;
        EXPECT_EQ(describe(control), c.batch) << "row " << &c - cases;
        if (quit) {
            EXPECT_TRUE(input.poll(control));
            EXPECT_EQ(describe(control), c.next) << "row " << &c - cases;
        }
    }
    SDL_Quit();
}

// The real hand-over: SDL's audio thread runs audioCallback while this thread polls keys into
// batches, each only after the previous one was taken. Every batch types the next hex digit, so
// RAM holds the digits in order exactly when each batch was applied once, in order. In a cycle
// of four, the batches also run, speed up, stop and step, and slow down and step the processor
// (the step itself is checked in the single-threaded tests).
TEST(AudioThread, EveryBatchIsAppliedOnceAndInOrder) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    Machine m; // inca ; staa $0400 ; bra *-4: RAM stays as typed
    m.load(0xF800, {0x4C, 0xB7, 0x04, 0x00, 0x20, 0xFA});
    m.load(0xFFFE, {0xF8, 0x00});
    m.cpu.reset();
    ControlBlock control;
    AudioEngine engine;
    engine.cpu = &m.cpu;
    engine.control = &control;
    ASSERT_EQ(engine.openDevice(), 0) << SDL_GetError();
    SDL_PauseAudio(0);
    const std::vector<SDL_Keycode> extra[] = {
        {SDLK_p}, {SDLK_RIGHTBRACKET}, {SDLK_SPACE}, {SDLK_LEFTBRACKET, SDLK_SPACE}};
    Input input;
    int sent = 0;
    const double msPerTick = 1000.0 / static_cast<double>(SDL_GetPerformanceFrequency());
    Uint64 polledAt = 0;
    double waitSum = 0, waitMax = 0; // from a poll to seeing its batch taken, in ms
    for (const Uint64 start = SDL_GetTicks64(); SDL_GetTicks64() - start < 2000 && sent < 400;) {
        if (control.pending.load(std::memory_order_acquire)) {
            SDL_Delay(1);
            continue;
        }
        if (sent > 0) {
            const double wait = static_cast<double>(SDL_GetPerformanceCounter() - polledAt);
            waitSum += wait * msPerTick;
            waitMax = std::max(waitMax, wait * msPerTick);
            ASSERT_EQ(engine.editCursor, sent);
            ASSERT_EQ(engine.speed, sent % 4 >= 2 ? 20 : 19);
        }
        for (SDL_Keycode key : extra[sent % 4])
            Event(key).push();
        Event(sent % 16 < 10 ? SDLK_0 + sent % 16 : SDLK_a + sent % 16 - 10).push();
        ASSERT_TRUE(input.poll(control));
        polledAt = SDL_GetPerformanceCounter();
        ASSERT_EQ(control.running.load(), sent % 4 < 2);
        ++sent;
    }
    for (const Uint64 start = SDL_GetTicks64(); control.pending && SDL_GetTicks64() - start < 1000;)
        SDL_Delay(1);
    EXPECT_FALSE(control.pending.load()) << "the last batch was never taken";
    SDL_CloseAudio();
    SDL_Quit();
    std::printf("%d batches in 2 s; poll to batch taken: mean %.1f ms, max %.1f ms\n", sent,
                sent > 1 ? waitSum / (sent - 1) : 0.0, waitMax);
    ASSERT_GE(sent, 12) << "the audio thread took too few batches in two seconds";
    EXPECT_EQ(engine.editCursor, sent);
    for (int i = 0; i < sent; ++i)
        ASSERT_EQ((m.memory[i / 2] >> (i & 1 ? 0 : 4)) & 0x0F, i % 16) << "nibble " << i;
    EXPECT_EQ(m.memory[sent / 2 + 1], 0) << "nothing typed past the last batch";
    EXPECT_GT(engine.sampleCount, 0u) << "the processor ran";
}
