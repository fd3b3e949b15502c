#pragma once

#include "app/CommandLine.h"
#include "app/Settings.h"
#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "audio/Input.h"
#include "audio/SampleRing.h"
#include "capture/Recorder.h"
#include "capture/TraceWriter.h"
#include "cpu/Board.h"
#include "cpu/History.h"
#include "cpu/Mc6802.h"
#include "rom/ImageWatcher.h"
#include "rom/RomBrowser.h"
#include "ui/CpuSnapshot.h"
#include "ui/DebuggerScreen.h"

#include <cstdint>
#include <string>
#include <string_view>

struct DebugCommand;

// The whole running system. Owns everything; the other objects refer to each other through
// pointers set once in init.
struct App {
    static constexpr std::int32_t modeDebugger = 0;
    static constexpr std::int32_t modeRomSelect = 1;

    std::int32_t mode = modeRomSelect;
    DebuggerScreen screen;
    ControlBlock control;
    Input input;
    Board board{Board::unallocated}; // memory and heat map from init to teardown
    Mc6802& cpu = board.cpu;
    History history; // every step the processor takes, for back; a reset or load clears it
    AudioEngine audio;
    RomBrowser browser;
    CpuSnapshot snapshot;       // what the debugger screen draws from
    bool presentWaits = false;  // presenting waits for the display's refresh (vsync)
    Options options;            // from the command line, set before init
    Recorder recorder;          // V: the audio output into numbered WAV files
    TraceWriter tracer;         // T: the instructions executed into numbered text files
    SampleRing scopeRing{8192}; // the audio output on its way to the debugger's scope
    ImageWatcher watcher;       // the loaded image and its listing, for live reload
    std::string reloadNotice;   // "reloaded 14:02:31", or why a change was not loaded
    // Where the settings are kept; empty (as in tests): nothing is read or written.
    std::filesystem::path settingsPath;
    Settings settings; // as read at start; updated by loads and the window, written at exit

    App();
    // Start-up. Returns false when the display or any audio device, even SDL's dummy one,
    // cannot be set up (the reason is on stderr).
    bool init();
    // The main loop; returns when the user quits.
    void run();
    // One iteration of the main loop; false once the user asked to quit.
    bool iterate();
    // Seconds to wait after an iteration that took elapsed seconds.
    static double framePadding(double elapsed, bool presentWaits);
    // The command line (app/Commands.cpp). runSubmittedLine reads the line run with Return
    // once no batch is pending; runMainCommand carries out a command that belongs to the main
    // thread (false, with answer saying why, when it fails); runScript runs --script's lines
    // and returns how many failed, each reported on stderr with its line number.
    void runSubmittedLine();
    bool runMainCommand(const DebugCommand& command, std::string_view line, std::string& answer);
    int runScript(std::string_view text, std::string_view name);
    // Traces every instruction before which condition holds (empty: all) into file, or into
    // a numbered file when file is empty; false, with tracer.error() saying why, if none opens.
    bool startTrace(const Expression& condition, std::string_view file);
    // Starts watching the image just loaded (app/Reload.cpp).
    void watchLoaded();
    // Loads the watched image again once it changed and settled, keeping the breakpoints
    // and watchpoints (with their labels), the speed, the instruction set and the run state;
    // an image that is not valid, or gone, is not loaded and the notice says why.
    void reloadIfChanged();
    static std::uint64_t nowMs(); // a steady clock, in milliseconds
    // A file dropped on the window: a .snd image is loaded as L and Return would, stopped.
    void loadDropped(const std::filesystem::path& path);

    // The window's remembered size, or scale, within the display (at start-up).
    void applyWindowSettings();
    // Notes the window's size and scale and writes the settings (at exit, once started).
    void keepSettings();

    // Releases everything in order: audio, memory, font, renderer, window, SDL.
    void teardown();
};
