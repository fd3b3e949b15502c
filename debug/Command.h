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
//   watch ADDR[-END] [w] [if EXPR]  w   stops after a write that lands in ADDR..END
//   delete ADDR|all                 d   the breakpoint and watchpoint at ADDR, or every one
//   go [ADDR]                       g   runs; with ADDR it stops once PC reaches ADDR
//   a= b= x= sp= pc= cc= EXPR           sets a register
//   [ADDR]=EXPR                         writes a byte of the write window, as an edit
//   send EXPR                       s   the sound command: the byte to 0402, then the interrupt
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
        Back,
        Help
    };
    enum class Register : std::uint8_t { A, B, X, SP, PC, CC };

    Kind kind = Kind::None;
    Register reg = Register::A;
    bool hasAddress = false; // go: stop at address
    std::uint16_t address = 0;
    std::uint16_t end = 0;   // watch: the range's last byte
    std::uint16_t value = 0; // register, byte or sound command
    std::uint32_t count = 0; // back: the steps to undo, no more than the history holds
    Expression condition;    // break and watch; empty: always

    // Reads line against cpu's registers and memory, the points set (status) and the
    // labels. On success out is filled and answer says what it will do ("break F806 if
    // a==3"); an empty line gives Kind::None and no answer. Otherwise out is left alone and
    // answer is one line saying what is wrong.
    static bool parse(std::string_view line, const Labels* labels, const Mc6802& cpu,
                      const DebugStatus& status, DebugCommand& out, std::string& answer);
};

// It travels to the audio thread by copy, in the mailbox's batch.
static_assert(std::is_trivially_copyable_v<DebugCommand>);
