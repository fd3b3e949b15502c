#pragma once

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
    std::atomic<bool> pending{false};
    // Main-thread keys: set by Input::poll, consumed (and cleared) by the main loop right
    // after the poll; the audio thread never reads them.
    bool help = false;
    bool fullscreen = false;
    bool record = false; // V: start or stop recording
    bool labels = false; // N: plain or labelled listing

    // Resets every batch field to "no command"; running and pending are left alone.
    void clearBatch();
};
