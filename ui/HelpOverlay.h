#pragma once

#include <SDL.h>

struct BitmapFont;

// Every key and what it does on each screen, drawn in a framed box over the middle of the
// picture. H shows and hides it; while it is shown every other key keeps its effect.
struct HelpOverlay {
    struct Row {
        const char* key;
        const char* debugger;
        const char* selection;
    };
    static constexpr Row rows[] = {
        {"Up / Down", "edit cursor one row up / down", "previous / next file"},
        {"Home / End", "", "first / last file"},
        {"PgUp / PgDn", "", "a window's files up / down"},
        {"Left / Right", "edit cursor one nibble left / right", ""},
        {"Return", "", "load the highlighted file"},
        {"P", "run / stop", "run / stop, kept for the load"},
        {"Space", "stop if running, then step one instruction", "stops"},
        {"O", "step over: a JSR or BSR runs until it returns", ""},
        {"U", "step out: run until this routine's RTS or RTI", ""},
        {"Z", "step back one instruction, stopping a run first", ""},
        {"I", "raise an interrupt request", ""},
        {"R", "reset the processor", ""},
        {"L", "stop, rescan the directory, back to the list", ""},
        {"0-9, A-F", "write the digit into the nibble at the cursor", ""},
        {"- / =", "decrement / increment the byte at the cursor", ""},
        {"Tab", "switch the edit cursor between RAM and PIA", ""},
        {"[ / ]", "one cycle per sample fewer / more (1 to 100)", ""},
        {"V", "start / stop recording the audio to a WAV file", ""},
        {"X", "switch the instruction set", ""},
        {"N", "listing with / without the ROM's labels", ""},
        {"G + 4 hex", "toggle a breakpoint at that address (at most 8)", ""},
        {"W + 4 hex", "toggle a write watchpoint there (at most 8)", ""},
        {"S + 2 hex", "sound command: byte to 0402, then interrupt", ""},
        {"T", "start / stop a trace to a new numbered file", ""},
        {"Backspace", "remove the last digit typed after G, W or S", ""},
        {": or ;", "open the command line (help lists commands)", ""},
        {"H", "show / hide this help", "show / hide this help"},
        {"F11", "fullscreen on / off", "fullscreen on / off"},
        {"Escape", "cancel the digits being typed, else quit", "quit"},
    };
    static constexpr int keyColumns = 13;
    static constexpr int debuggerColumns = 47;
    static constexpr int selectionColumns = 29;
    static constexpr int lineColumns = keyColumns + debuggerColumns + selectionColumns;
    static constexpr int rowCount = static_cast<int>(sizeof rows / sizeof rows[0]);
    // Title, blank, column heads, rule, the rows, blank, closing hint.
    static constexpr int lineCount = rowCount + 6;
    static constexpr int textX = (740 - 8 * lineColumns) / 2;
    static constexpr int textY = (756 - 8 * lineCount) / 2;

    // The command line's page, shown by its help command; the key page's box and title
    // rows, one command a line.
    static constexpr const char* commands[] = {
        "Command line (: or ; opens it, Return runs, Escape closes, Up / Down recall)",
        "",
        "break ADDR [if EXPR]        b  breakpoint; with EXPR only while EXPR is not 0",
        "watch ADDR[-END] [r|w|rw] [if EXPR]",
        "                            w  stop after a read (r), write (w) or either",
        "delete ADDR | all           d  remove the points at ADDR, or every one",
        "go [ADDR]                   g  run; with ADDR stop once PC gets there",
        "a= b= x= sp= pc= cc= EXPR      set a register",
        "[ADDR]=EXPR                    write a byte of 0000-0410 (no heat)",
        "send EXPR                   s  sound command: byte to 0402, then interrupt",
        "list ADDR | pc              l  keep the listing at ADDR; pc: it follows PC again",
        "mem ADDR                       RAM panel from ADDR (edits only in 0000-0410)",
        "save FILE / load FILE          the whole board to a state file, or back (stops)",
        "trace on [FILE] [if EXPR]      trace (only while EXPR holds); trace off",
        "irq drop | hold                interrupt asked for under SEI: lost, or kept",
        "back [N]                       step back N instructions (1), stopping a run first",
        "help                           this page",
        "",
        "EXPR: a b x sp pc cc, flags c v z n i h, [E] byte, {E} word, labels,",
        "hex (f812 $f812 0xf812), #decimal, and C's operators: a==3 && [0400]>7f",
    };
    static constexpr int commandCount = static_cast<int>(sizeof commands / sizeof commands[0]);

    // Line `line` of the box as lineColumns characters, blank-padded.
    static void format(int line, char (&out)[lineColumns + 1]);
    // The same for the command page.
    static void formatCommands(int line, char (&out)[lineColumns + 1]);
    // Draws the box, the keys or the commands; the renderer's draw colour is left as it was.
    static void draw(SDL_Renderer* renderer, BitmapFont& font, bool showCommands = false);
};
