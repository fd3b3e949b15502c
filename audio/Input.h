#pragma once

#include "audio/TypedEntry.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

struct ControlBlock;
struct DebugCommand;
struct DebugStatus;
struct Labels;
struct Mc6802;

// Turns SDL's queued events into one command batch. Main thread only.
struct Input {
    // Keys that the main loop acts on itself, counted per press since it last took them;
    // the audio thread never sees them.
    struct Keys {
        std::int32_t help = 0;
        std::int32_t fullscreen = 0;
        std::int32_t record = 0; // V: start or stop recording
        std::int32_t labels = 0; // N: plain or labelled listing
        std::int32_t trace = 0;  // T: start or stop the instruction trace
        std::int32_t pages = 0;  // the selection list: Page Down +1, Page Up -1, per press
        std::int32_t ends = 0;   // the selection list: End +1, Home -1, the last one pressed
    };

    // The debugger's command line, opened with : or ;. While it is open every key goes to
    // it and its text comes from SDL's text input, whatever the keyboard layout.
    struct Line {
        static constexpr std::size_t historyLength = 100;
        static constexpr std::size_t maxLength = 200;
        bool open = false;
        std::string text;
        std::vector<std::string> history; // the lines run, oldest first
        std::size_t recalled = 0;         // Up and Down; history.size() is the line typed
        bool skipOpener = false;          // the text event of the key that opened it
        std::string submitted;            // run with Return, not yet read by runSubmitted
        std::string last;                 // the last line run, and what came of it
        std::string answer;
        bool failed = false;
    };

    SDL_Event event{};
    Keys keys;
    TypedEntry entry;    // kept across polls until its last digit completes it
    std::string dropped; // the last file dropped on the window; the App takes it
    Line line;
    bool debugging = false; // set by the App: the command line belongs to the debugger

    // Drains the event queue into a fresh batch and sets pending. Returns false at once on
    // Escape or the window's close request (pending is then left unset).
    bool poll(ControlBlock& control);
    // Reads the line run with Return against cpu (the snapshot), status and labels, and
    // keeps its answer. A good line for the audio thread is posted as a batch of its own:
    // call it only while no batch is pending, with a snapshot taken since. A good line for
    // the main thread is returned (true) in command, and its text in text, for the App to
    // carry out.
    bool runSubmitted(ControlBlock& control, const Mc6802& cpu, const DebugStatus& status,
                      const Labels* labels, DebugCommand& command, std::string& text);
    // The main-thread keys pressed since the last call, which forgets them.
    Keys takeKeys() {
        const Keys taken = keys;
        keys = Keys{};
        return taken;
    }
};
