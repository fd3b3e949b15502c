#pragma once

#include "debug/Command.h"

#include <array>
#include <atomic>
#include <cstdint>

// The mailbox through which the main thread's key presses reach the audio thread.
//
// Fields step..commands form one batch. The main thread writes a batch only while pending is
// false and sets pending last (release); the audio thread reads pending (acquire), applies
// the batch and clears it (release). The batch is the only thing pending orders.
//
// running, the persistent run/stop state, is written by both threads: the main thread
// starts and stops the processor (P, Space, O, U, L), and the audio thread stops it when a
// stop rule fires and starts it for a step over or out. It orders nothing else, so every
// load and store of it is relaxed; an update that crosses the other thread's is a press
// that lands a buffer early or late, never a torn state.
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
    std::int32_t back = 0;             // Z: steps back, the processor stopped
    // The entries completed with G, W and S in this poll, in the order typed.
    struct Command {
        enum class Kind : std::uint8_t { Break, Watch, Sound };
        Kind kind = Kind::Break;
        std::uint16_t value = 0; // the address, or the sound command's byte
    };
    static constexpr std::int32_t maxCommands = 8;
    std::array<Command, maxCommands> commands{};
    std::int32_t commandCount = 0;
    // A line of the command line, read and checked by the main thread; it travels in a
    // batch of its own.
    bool hasLine = false;
    DebugCommand line;
    std::atomic<bool> pending{false};

    // Resets every batch field to "no command"; running and pending are left alone.
    void clearBatch();

    bool isRunning() const { return running.load(std::memory_order_relaxed); }
    void setRunning(bool value) { running.store(value, std::memory_order_relaxed); }
};
