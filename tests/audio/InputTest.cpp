#include "audio/Input.h"
#include "audio/ControlBlock.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class InputPoll : public testing::Test {
  protected:
    void SetUp() override {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS), 0) << SDL_GetError();
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override { SDL_Quit(); }

    static void push(Uint32 type, SDL_Keycode sym = 0, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
        SDL_Event e{};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
    static void key(SDL_Keycode sym) { push(SDL_KEYDOWN, sym); }

    // Back to the mailbox's start values.
    void restart() {
        control.clearBatch();
        control.running = false;
        control.pending = false;
    }

    // The batch fields as they are after construction or an empty poll.
    static bool batchIsEmpty(const ControlBlock& c) {
        return !c.step && !c.irq && !c.reset && !c.enter && !c.load && c.cursorDx == 0 &&
               c.cursorDy == 0 && !c.switchPanel && c.hexDigit == -1 && c.adjust == 0 &&
               c.speedDelta == 0;
    }

    Input input;
    ControlBlock control;
};

} // namespace

TEST_F(InputPoll, EveryKeyOfTheTable) {
    using Check = std::function<bool(const ControlBlock&)>;
    struct Case {
        SDL_Keycode key;
        Check check;
    };
    const Case cases[] = {
        {SDLK_i, [](const ControlBlock& c) { return c.irq; }},
        {SDLK_r, [](const ControlBlock& c) { return c.reset; }},
        {SDLK_l, [](const ControlBlock& c) { return c.load; }},
        {SDLK_RETURN, [](const ControlBlock& c) { return c.enter; }},
        {SDLK_RIGHT, [](const ControlBlock& c) { return c.cursorDx == 1; }},
        {SDLK_LEFT, [](const ControlBlock& c) { return c.cursorDx == -1; }},
        {SDLK_DOWN, [](const ControlBlock& c) { return c.cursorDy == 1; }},
        {SDLK_UP, [](const ControlBlock& c) { return c.cursorDy == -1; }},
        {SDLK_MINUS, [](const ControlBlock& c) { return c.adjust == -1; }},
        {SDLK_EQUALS, [](const ControlBlock& c) { return c.adjust == 1; }},
        {SDLK_TAB, [](const ControlBlock& c) { return c.switchPanel; }},
        {SDLK_LEFTBRACKET, [](const ControlBlock& c) { return c.speedDelta == -1; }},
        {SDLK_RIGHTBRACKET, [](const ControlBlock& c) { return c.speedDelta == 1; }},
        {SDLK_SPACE, [](const ControlBlock& c) { return c.step && !c.running; }},
        {SDLK_p, [](const ControlBlock& c) { return c.running.load(); }},
    };
    for (const Case& c : cases) {
        restart();
        key(c.key);
        EXPECT_TRUE(input.poll(control));
        EXPECT_TRUE(c.check(control)) << "key " << c.key;
        EXPECT_TRUE(control.pending.load());
    }
    for (int d = 0; d < 16; ++d) {
        const SDL_Keycode k = d < 10 ? SDLK_0 + d : SDLK_a + (d - 10);
        key(k);
        EXPECT_TRUE(input.poll(control));
        EXPECT_EQ(control.hexDigit, d) << "key " << k;
    }
    // Codes next to the table's that must do nothing.
    for (SDL_Keycode k : {SDLK_g, SDLK_z, SDLK_SLASH, SDLK_COLON, SDLK_KP_0, SDLK_KP_9,
                          SDLK_KP_ENTER, SDLK_KP_MINUS, SDLK_KP_PLUS, SDLK_F1, SDLK_LSHIFT}) {
        restart();
        key(k);
        EXPECT_TRUE(input.poll(control));
        EXPECT_TRUE(batchIsEmpty(control)) << "key " << k;
        EXPECT_FALSE(control.running.load());
    }
}

TEST_F(InputPoll, EachPollIsAFreshBatchAndAlwaysPending) {
    key(SDLK_i);
    key(SDLK_5);
    ASSERT_TRUE(input.poll(control));
    EXPECT_TRUE(control.irq);
    EXPECT_EQ(control.hexDigit, 5);

    control.pending = false;
    ASSERT_TRUE(input.poll(control)); // nothing queued
    EXPECT_TRUE(batchIsEmpty(control));
    EXPECT_TRUE(control.pending.load()) << "an empty batch is still handed over";
}

TEST_F(InputPoll, LaterEventsOverwriteEarlierOnes) {
    for (SDL_Keycode k : {SDLK_3, SDLK_b, SDLK_LEFT, SDLK_RIGHT, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN,
                          SDLK_EQUALS, SDLK_MINUS, SDLK_RIGHTBRACKET, SDLK_LEFTBRACKET})
        key(k);
    ASSERT_TRUE(input.poll(control));
    EXPECT_EQ(control.hexDigit, 11);
    EXPECT_EQ(control.cursorDx, 1);
    EXPECT_EQ(control.cursorDy, 1);
    EXPECT_EQ(control.adjust, -1);
    EXPECT_EQ(control.speedDelta, -1);
}

TEST_F(InputPoll, RunAndStepFollowTheOrderOfTheKeys) {
    key(SDLK_p);
    key(SDLK_SPACE); // stopped, one step to do
    ASSERT_TRUE(input.poll(control));
    EXPECT_FALSE(control.running.load());
    EXPECT_TRUE(control.step);

    key(SDLK_SPACE);
    key(SDLK_p); // running; the step is left for applyCommands to ignore
    ASSERT_TRUE(input.poll(control));
    EXPECT_TRUE(control.running.load());
    EXPECT_TRUE(control.step);

    key(SDLK_p);
    key(SDLK_p); // an even number of toggles changes nothing
    ASSERT_TRUE(input.poll(control));
    EXPECT_TRUE(control.running.load());
    EXPECT_FALSE(control.step);

    key(SDLK_SPACE); // while running: stop, then step
    ASSERT_TRUE(input.poll(control));
    EXPECT_FALSE(control.running.load());
    EXPECT_TRUE(control.step);
}

TEST_F(InputPoll, EscapeAndCloseQuitWithoutHandingOver) {
    for (bool close : {false, true}) {
        restart();
        key(SDLK_i);
        key(SDLK_p);
        if (close)
            push(SDL_QUIT);
        else
            key(SDLK_ESCAPE);
        key(SDLK_r);
        EXPECT_FALSE(input.poll(control)) << "close " << close;
        EXPECT_FALSE(control.pending.load());
        EXPECT_TRUE(control.irq) << "fields set before the quit stay";
        EXPECT_TRUE(control.running.load()) << "P still acts on the main thread";
        EXPECT_FALSE(control.reset) << "events after the quit are not read";

        EXPECT_TRUE(input.poll(control)); // they wait in the queue
        EXPECT_TRUE(control.reset);
        EXPECT_FALSE(control.irq);
        EXPECT_TRUE(control.pending.load());
    }
}

TEST_F(InputPoll, ModifiersRepeatsAndReleases) {
    push(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT);
    ASSERT_TRUE(input.poll(control));
    EXPECT_EQ(control.hexDigit, 10);

    push(SDL_KEYDOWN, SDLK_p, KMOD_CAPS);
    push(SDL_KEYDOWN, SDLK_r, KMOD_LSHIFT | KMOD_CAPS);
    ASSERT_TRUE(input.poll(control));
    EXPECT_TRUE(control.running.load());
    EXPECT_TRUE(control.reset);

    push(SDL_KEYDOWN, SDLK_p, KMOD_NONE, 1); // auto-repeat counts as a press
    push(SDL_KEYDOWN, SDLK_DOWN, KMOD_NONE, 1);
    ASSERT_TRUE(input.poll(control));
    EXPECT_FALSE(control.running.load());
    EXPECT_EQ(control.cursorDy, 1);

    push(SDL_KEYUP, SDLK_i);
    push(SDL_KEYUP, SDLK_p);
    push(SDL_KEYUP, SDLK_ESCAPE);
    push(SDL_MOUSEBUTTONDOWN);
    ASSERT_TRUE(input.poll(control)) << "releases do not quit";
    EXPECT_TRUE(batchIsEmpty(control));
    EXPECT_FALSE(control.running.load());
}
