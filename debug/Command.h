#pragma once

#include "debug/DebugStatus.h"
#include "debug/Expression.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

struct Labels;
struct Mc6802;

// One line of the debugger's command line, read into what the audio thread is to do:
//
//   break ADDR [if EXPR]            b   a breakpoint; with EXPR it stops only when EXPR is
//                                       non-zero; the same address again replaces EXPR
//   watch ADDR[-END] [r|w|rw] [if EXPR]
//                                   w   stops after an instruction that reads (r), writes (w,
//                                       the default) or does either to a byte of ADDR..END
//   delete ADDR|all                 d   the breakpoint and watchpoint at ADDR, or every one
//   go [ADDR]                       g   runs; with ADDR it stops once PC reaches ADDR
//   a= b= x= sp= pc= cc= EXPR           sets a register
//   [ADDR]=EXPR                         writes a byte of the write window, as an edit
//   send EXPR                       s   the sound command: the byte to 0402, then the interrupt
//   list ADDR|pc                    l   the listing stays at ADDR; pc: it follows PC again
//   mem ADDR                            the RAM panel shows 256 bytes from ADDR (down to 16)
//   save FILE / load FILE               the whole board into a state file, or back from one
//   trace on [FILE] [if EXPR]           the trace, into FILE or a numbered file; with EXPR
//   trace off                           only the instructions before which EXPR holds
//   irq drop|hold                       a request while I is set is lost, or kept until CLI
//   back [N]                            steps back N instructions (1), stopping a run first
//   help                                the commands on the help box
//
// Addresses and values are expressions (debug/Expression), evaluated once, here, against the
// processor's state; a condition is compiled here and evaluated by the audio thread.
struct DebugCommand {
    enum class Kind : std::uint8_t {
        None,
        Break,
        Watch,
        Delete,
        DeleteAll,
        Go,
        Register,
        Memory,
        Send,
        Help,
        List,       // hasAddress false: follow PC
        ShowMemory, // address: the RAM panel's first byte
        Save,
        Load,
        TraceOn,
        TraceOff,
        Irq,
        Back
    };
    enum class Register : std::uint8_t { A, B, X, SP, PC, CC };

    Kind kind = Kind::None;
    Register reg = Register::A;
    bool hasAddress = false; // go: stop at address; list: stay at address
    std::uint16_t address = 0;
    std::uint16_t end = 0;   // watch: the range's last byte
    std::uint16_t value = 0; // register, byte or sound command; irq: 1 hold, 0 drop
    std::uint32_t count = 0; // back: the steps to undo, no more than the history holds
    DebugStatus::Access access = DebugStatus::Access::Write; // watch
    Expression condition; // break, watch and trace on; empty: always
    // Where a file name lies in the line parsed (save, load, trace on): fileIn gives it.
    std::uint16_t fileAt = 0;
    std::uint16_t fileLength = 0;

    // Commands that the App carries out on the main thread (files, the screen's views, the
    // help box); the rest go to the audio thread, which owns the board while it runs.
    bool onMainThread() const {
        return kind == Kind::Help || kind == Kind::List || kind == Kind::Save ||
               kind == Kind::Load || kind == Kind::TraceOn || kind == Kind::TraceOff;
    }
    std::string_view fileIn(std::string_view line) const {
        return fileAt <= line.size() ? line.substr(fileAt, fileLength) : std::string_view{};
    }

    // Reads line against cpu's registers and memory, the points set (status) and the
    // labels. On success out is filled and answer says what it will do ("break F806 if
    // a==3"); an empty line gives Kind::None and no answer. Otherwise out is left alone and
    // answer is one line saying what is wrong.
    static bool parse(std::string_view line, const Labels* labels, const Mc6802& cpu,
                      const DebugStatus& status, DebugCommand& out, std::string& answer);
};

// It travels to the audio thread by copy, in the mailbox's batch.
static_assert(std::is_trivially_copyable_v<DebugCommand>);
