#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// The mailbox through which the main thread's key presses reach the audio thread.
//
// Fields step..speedDelta (all but running and pending) form one batch. The main thread
// writes a batch only while pending is false and sets pending last (release); the audio
// thread reads pending (acquire), applies the batch and clears it. running is the
// persistent run/stop state, written by the main thread and read by the audio thread.
struct ControlBlock {
    bool step = false;
    bool irq = false;
    bool reset = false;
    std::atomic<bool> running{false};
    bool enter = false;
    bool load = false;
    std::int32_t cursorDx = 0;
    std::int32_t cursorDy = 0;
    bool switchPanel = false;
    std::int32_t hexDigit = -1; // -1: none
    std::int32_t adjust = 0;
    std::int32_t speedDelta = 0;
    bool switchInstructionSet = false; // board <-> complete
    bool stepOver = false;             // O: a JSR or BSR runs until it has returned
    bool stepOut = false;              // U: run until the current routine has returned
    // The entries completed with G, W and S in this poll, in the order typed.
    struct Command {
        enum class Kind : std::uint8_t { Break, Watch, Sound };
        Kind kind = Kind::Break;
        std::uint16_t value = 0; // the address, or the sound command's byte
    };
    static constexpr std::int32_t maxCommands = 8;
    std::array<Command, maxCommands> commands{};
    std::int32_t commandCount = 0;
    std::atomic<bool> pending{false};
    // Main-thread keys: set by Input::poll, consumed (and cleared) by the main loop right
    // after the poll; the audio thread never reads them.
    bool help = false;
    bool fullscreen = false;
    bool record = false; // V: start or stop recording
    bool labels = false; // N: plain or labelled listing
    bool trace = false;  // T: start or stop the instruction trace

    // The address or byte being typed after G, W or S; the main thread's alone, kept
    // across polls until its last digit completes it into a Command.
    struct Entry {
        bool isOpen = false;
        Command::Kind kind = Command::Kind::Break; // the command it will complete
        std::uint16_t value = 0;                   // the digits typed so far, as a number
        std::int32_t digits = 0;

        bool open() const { return isOpen; }
        // 4 for an address, 2 for a byte.
        std::int32_t length() const { return kind == Command::Kind::Sound ? 2 : 4; }
        // "break at F8__", "watch at 04__" or "sound 1_"; empty when no entry is open.
        void describe(char (&out)[16]) const;
    };
    Entry entry;

    // Resets every batch field to "no command"; running and pending are left alone.
    void clearBatch();
};
