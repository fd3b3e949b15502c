#!/usr/bin/env python3
"""Plants realistic faults in hummbox one at a time and checks that the tests catch them.

Each mutation is one small edit of the kind a developer might make (an off-by-one, a wrong
constant, a swapped condition, a dropped statement), given as data: the file, the exact text
it replaces and the replacement. For each mutation the script applies the edit, builds
incrementally in its own build directory, runs ctest, and puts the file back, always, even
on Ctrl-C. A mutation whose text no longer occurs exactly once is reported STALE and skipped:
re-target it after a refactoring.

    tools/mutate.py                    every mutation, without the end-to-end walk-through
    tools/mutate.py --e2e              with the walk-through (slow)
    tools/mutate.py cpu-adc-carry-in 'aud-*'   a subset, by id or glob
    tools/mutate.py --list             the mutations and whether each still applies

Results: CAUGHT (a test failed), MISSED (every test passed), BUILD-FAILED (the compiler
rejected the edit; counted as caught, reported apart), STALE (not applied) and EQUIVALENT
(marked in the data as changing nothing observable; not run, not counted).
"""

import argparse
import fcntl
import fnmatch
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass
class Mutation:
    id: str
    file: str
    area: str
    old: str
    new: str
    what: str
    more: tuple = ()  # further (old, new) edits in the same file, applied in order
    equivalent: str = ""  # why nothing observable changes; such a mutation is not run

    @property
    def folder(self):
        parts = Path(self.file).parts
        return "/".join(parts[:2]) if parts[0] == "tools" else parts[0]

    def edits(self):
        return [(self.old, self.new), *self.more]


M = Mutation

MUTATIONS = [
    # ---- cpu: flag operations -------------------------------------------------------------
    M("cpu-adc-carry-in", "cpu/Mc6802.h", "flags",
      "const unsigned sum = unsigned{a} + m + (CC & flagC);",
      "const unsigned sum = unsigned{a} + m;",
      "ADC ignores the carry coming in"),
    M("cpu-sbc-borrow", "cpu/Mc6802.h", "flags",
      "setCarry(unsigned{m} + borrow > a);",
      "setCarry(m > a);",
      "SBC's carry out forgets the borrow coming in"),
    M("cpu-com-carry", "cpu/Mc6802.h", "flags",
      "CC = static_cast<std::uint8_t>((CC & ~flagV) | flagC);",
      "CC = static_cast<std::uint8_t>(CC & ~flagV);",
      "COM clears V but no longer sets C"),
    M("cpu-lsr-n", "cpu/Mc6802.h", "flags",
      "setFlag(flagZ, r == 0);\n        return r;",
      "return setNZ(r);",
      "LSR clears N (the textbook rule) instead of keeping it"),
    M("cpu-cmp16-n", "cpu/Mc6802.h", "flags",
      "setFlag(flagN, (d & 0x8000) != 0);",
      "setFlag(flagN, (d & 0x80) != 0);",
      "CPX takes N from bit 7 of the difference, not bit 15"),
    # ---- cpu: bus, write window, heat -------------------------------------------------------
    M("cpu-window-last", "cpu/Mc6802.h", "write window",
      "writeWindowLast = 0x0410;",
      "writeWindowLast = 0x040F;",
      "write window ends at the last PIA register, 0x040F, not 0x0410"),
    M("cpu-write16-guard", "cpu/Mc6802.h", "write16",
      "if (address < writeWindowLast) {",
      "if (address <= writeWindowLast) {",
      "a 16-bit write at 0x0410 stores its high byte"),
    M("cpu-write-heat", "cpu/Mc6802.h", "heat",
      "memory[address] = value;\n            HeatMap::bump(heat[address]);",
      "memory[address] = value;",
      "a landed write bumps no heat"),
    # ---- cpu: opcode table (cycles and lengths) ---------------------------------------------
    M("cpu-cyc-staa-ext", "cpu/OpcodeTable.h", "cycles",
      '{0xB7, "staa", Op::St, M::Extended, 5, A},',
      '{0xB7, "staa", Op::St, M::Extended, 4, A},',
      "STAA extended takes 4 cycles like the loads"),
    M("cpu-len-lds", "cpu/OpcodeTable.h", "lengths",
      '{0x8E, "lds", Op::Ld, M::Immediate16, 3, SP},',
      '{0x8E, "lds", Op::Ld, M::Immediate8, 3, SP},',
      "LDS immediate's row says 8-bit immediate (2 bytes)"),
    # ---- cpu: reset, interrupt, branches ----------------------------------------------------
    M("cpu-reset-clear", "cpu/Mc6802.cpp", "reset",
      "std::memset(memory, 0, resetClearLast + 1u);",
      "std::memset(memory, 0, writeWindowLast + 1u);",
      "reset clears only the write window, not up to 0x04FF"),
    M("cpu-irq-mask", "cpu/Mc6802.cpp", "irq",
      "    if (CC & flagI) return;\n", "",
      "the interrupt is taken even with I set"),
    M("cpu-irq-stacked-i", "cpu/Execution.h", "irq",
      "cpu.write8(plus(s, -6), cc);",
      "cpu.write8(plus(s, -6), static_cast<u8>(cc | Mc6802::flagI));",
      "the stacked CC already has I set, so RTI never unmasks"),
    M("cpu-irq-cc-ones", "cpu/Mc6802.cpp", "irq",
      "pushFrame(*this, PC, complete ? static_cast<u8>(CC | ccHighOnes) : CC);",
      "pushFrame(*this, PC, CC);",
      "the complete set's interrupt entry stacks CC bits 6 and 7 as they are, not as ones"),
    M("cpu-rti-mask", "cpu/Mc6802.cpp", "rti",
      "    if (CC & flagI) CC = static_cast<u8>((CC & ~flagI) | maskBefore);\n",
      "",
      "RTI takes I as pulled, so it can mask interrupts"),
    M("cpu-br-bhi", "cpu/Execution.h", "branches",
      "case Op::Bhi: return !c && !z;",
      "case Op::Bhi: return !c || !z;",
      "BHI branches when either C or Z is clear"),

    # ---- audio: pacing ----------------------------------------------------------------------
    M("aud-pace-target", "audio/AudioEngine.cpp", "pacing",
      "        target += s;\n        if (!checking) {",
      "        if (!checking) {",
      "a sample's target uses the count before it (one sample late)",
      more=(("        out += sizeof sample;\n    }", "        out += sizeof sample;\n        target += s;\n    }"),)),
    M("aud-sample-formula", "audio/AudioEngine.h", "pacing",
      "static_cast<float>(dac - 127) * 0.001f;",
      "static_cast<float>(dac - 128) * 0.001f;",
      "the DAC's zero is 128, not 127"),
    M("aud-silence", "audio/AudioEngine.cpp", "pacing",
      "        std::memset(stream, 0, bytes);\n        if (tap != nullptr) tap->pushSilence(n);",
      "        if (tap != nullptr) tap->pushSilence(n);",
      "a stopped processor leaves the buffer as it was instead of silence"),
    # ---- audio: mailbox ---------------------------------------------------------------------
    M("aud-apply-after-running", "audio/AudioEngine.cpp", "mailbox",
      "    if (control.pending.load(std::memory_order_acquire)) {\n        engine.applyCommands();",
      "    if (control.running.load(std::memory_order_relaxed) &&\n"
      "        control.pending.load(std::memory_order_acquire)) {\n        engine.applyCommands();",
      "batches are applied only while running"),
    M("aud-step-while-running", "audio/AudioEngine.cpp", "mailbox",
      "    if (!running && (c.step || c.stepOver || c.stepOut)) {",
      "    if (c.step || (!running && (c.stepOver || c.stepOut))) {",
      "a single step also executes while running"),
    M("aud-reset-first", "audio/AudioEngine.cpp", "mailbox",
      "    editCursor = moveCursor(editCursor, c);",
      "    if (c.reset) cpu->reset();\n\n    editCursor = moveCursor(editCursor, c);",
      "a batch's reset is applied first instead of last",
      more=(("    if (c.reset) {\n        cpu->reset();", "    if (false) {"),)),
    M("aud-pending-kept", "audio/AudioEngine.cpp", "mailbox",
      "        engine.applyCommands();\n"
      "        control.pending.store(false, std::memory_order_release);",
      "        engine.applyCommands();",
      "the callback applies a batch but never hands the mailbox back"),
    # ---- audio: cursor, edits, speed --------------------------------------------------------
    M("aud-cursor-ram-wrap", "audio/AudioEngine.cpp", "cursor",
      "c = moved < 0 ? 0 : moved;",
      "c = moved < 0 ? AudioEngine::ramCursorLast : moved;",
      "moving up or left before RAM wraps to its last nibble"),
    M("aud-cursor-no-cross", "audio/AudioEngine.cpp", "cursor",
      "return c > AudioEngine::ramCursorLast ? AudioEngine::piaCursorFirst : c;",
      "return c > AudioEngine::ramCursorLast ? AudioEngine::ramCursorLast : c;",
      "moving past the end of RAM stays on its last nibble instead of entering the PIA row"),
    M("aud-hex-nibble", "audio/AudioEngine.cpp", "hex edit",
      "byte = (nibble & 1) ?",
      "byte = (nibble & 1) == 0 ?",
      "a typed digit goes into the other nibble"),
    M("aud-speed-min", "audio/AudioEngine.h", "speed",
      "minSpeed = 1;",
      "minSpeed = 0;",
      "the speed may drop to 0 cycles per sample"),
    # ---- audio: keyboard --------------------------------------------------------------------
    M("key-space", "audio/Input.cpp", "keyboard",
      "        control.step = true;\n        control.setRunning(false);",
      "        control.step = true;",
      "Space steps but does not stop a running processor"),
    M("key-brackets", "audio/Input.cpp", "keyboard",
      "case SDLK_LEFTBRACKET: control.speedDelta = -1; break;\n"
      "    case SDLK_RIGHTBRACKET: control.speedDelta = 1; break;",
      "case SDLK_LEFTBRACKET: control.speedDelta = 1; break;\n"
      "    case SDLK_RIGHTBRACKET: control.speedDelta = -1; break;",
      "[ and ] swapped"),
    M("key-close", "audio/Input.cpp", "keyboard",
      "        if (event.type == SDL_QUIT) return false;\n",
      "",
      "the window's close request is ignored"),

    # ---- rom: scan --------------------------------------------------------------------------
    M("rom-scan-case", "rom/RomBrowser.cpp", "scan",
      "name.compare(dot, std::string::npos, romExtension) == 0",
      "SDL_strcasecmp(name.c_str() + dot, romExtension) == 0",
      "the extension is compared without regard to case"),
    M("rom-scan-sort", "rom/RomBrowser.cpp", "scan",
      "        if (hasRomExtension(name)) fileNames.push_back(std::move(name));\n    }\n",
      "        if (hasRomExtension(name)) fileNames.push_back(std::move(name));\n    }\n"
      "    std::sort(fileNames.begin(), fileNames.end());\n",
      "the list is sorted by name instead of kept in listing order"),
    # ---- rom: load --------------------------------------------------------------------------
    M("rom-load-regular", "rom/RomImage.cpp", "load",
      "    if (!std::filesystem::is_regular_file(path, ec)) {\n",
      "    if (!std::filesystem::exists(path, ec)) {\n",
      "any name is opened, FIFOs and devices included"),
    M("rom-load-size", "rom/RomImage.cpp", "load",
      "                                           image.bytes.size() - image.length);",
      "                                           image.bytes.size() - 1 - image.length);",
      "a load copies 2047 bytes, not 2048"),
    M("rom-load-reset", "rom/RomBrowser.cpp", "load",
      "    cpu.reset();\n    return true;",
      "    return true;",
      "a load does not reset the processor"),
    M("rom-load-audio", "app/RomScreen.cpp", "load",
      "    app.watchLoaded();\n    SDL_PauseAudio(0);",
      "    app.watchLoaded();",
      "a load does not resume audio output"),
    # ---- rom: selection screen --------------------------------------------------------------
    M("rom-sel-clamp", "rom/RomBrowser.cpp", "selection",
      "if (selectedIndex >= count) selectedIndex = count - 1;",
      "if (selectedIndex > count) selectedIndex = count;",
      "the highlight can move one past the last entry"),
    M("rom-sel-order", "rom/RomBrowser.cpp", "selection",
      "    if (selectedIndex < 0) selectedIndex = 0;\n"
      "    if (selectedIndex >= count) selectedIndex = count - 1;",
      "    if (selectedIndex >= count) selectedIndex = count - 1;\n"
      "    if (selectedIndex < 0) selectedIndex = 0;",
      "the two clamps in the other order: an empty list selects entry 0"),

    # ---- ui: debugger screen ----------------------------------------------------------------
    M("ui-cursor-swap", "ui/DebuggerScreen.cpp", "colours",
      "const bool highSelected = (cursor & 1) == 0;",
      "const bool highSelected = (cursor & 1) != 0;",
      "the cursor colours the wrong digit of its byte"),
    M("ui-heat-grey", "ui/DebuggerScreen.cpp", "colours",
      "128 + h * 127 / 100",
      "128 + h * 128 / 100",
      "the heat grey reaches 256 at heat 100 (drawn as 0)"),
    M("ui-age-last", "ui/DebuggerScreen.cpp", "heat ageing",
      "for (std::size_t a = 0; a < HeatMap::size; ++a)",
      "for (std::size_t a = 0; a + 1 < HeatMap::size; ++a)",
      "the heat of 0xFFFF never fades"),
    M("ui-light-running", "ui/DebuggerScreen.cpp", "heat ageing",
      "    if (stopped) {\n        char text[12];",
      "    if (!stopped) {\n        char text[12];",
      "the instruction at PC is lit while running instead of while stopped"),
    M("ui-pia-row", "ui/DebuggerScreen.cpp", "positions",
      "drawHexPanel(cpu, cpu.memory, 0x0400, 0x0408, 20, 16, editCursor);",
      "drawHexPanel(cpu, cpu.memory, 0x0400, 0x0408, 21, 16, editCursor);",
      "the PIA panel is drawn one text row low"),
    # ---- ui: font ---------------------------------------------------------------------------
    M("ui-font-offset", "ui/BitmapFont.h", "font",
      "std::int32_t charOffset = -33;",
      "std::int32_t charOffset = -32;",
      "glyph 0 is taken to be the blank, not '!'"),
    M("ui-font-topdown", "ui/BitmapFont.cpp", "font loader",
      "    if (height < 0) height = -height;\n",
      "",
      "a top-down BMP (negative height) is refused"),
    # ---- ui: disassembler -------------------------------------------------------------------
    M("ui-dis-word", "cpu/Disassembler.cpp", "disassembler",
      "const unsigned word = byte1 << 8 | byte2;",
      "const unsigned word = byte2 << 8 | byte1;",
      "16-bit operands shown low byte first"),
    M("ui-dis-return", "cpu/Disassembler.cpp", "disassembler",
      "return address + std::uint32_t{info.length()};",
      "return static_cast<std::uint16_t>(address + info.length());",
      "the next address wraps to 16 bits instead of running past 0xFFFF"),

    # ---- app: main loop ---------------------------------------------------------------------
    M("app-leave-running", "app/App.cpp", "main loop",
      "        control.setRunning(false);\n        browser.scan();",
      "        browser.scan();",
      "L leaves the processor running"),
    M("app-poll-pending", "app/App.cpp", "main loop",
      "if (mode != modeDebugger || !control.pending.load(std::memory_order_acquire))",
      "if (!control.pending.load(std::memory_order_acquire))",
      "the selection screen also waits for the mailbox to be emptied before polling"),

    # ---- tools/render: WAV writer -----------------------------------------------------------
    M("wav-rate", "capture/WavFile.cpp", "WAV writer",
      "info.samplerate = AudioEngine::sampleRate;",
      "info.samplerate = 44100;",
      "the WAV header says 44,100 Hz"),
    M("wav-format", "capture/WavFile.cpp", "WAV writer",
      "(format == WavFormat::Pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT)",
      "(format == WavFormat::Pcm16 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16)",
      "--pcm16 and the float default swapped"),
    M("wav-regular", "capture/ReplacingFile.cpp", "WAV writer",
      "if (ec || (exists && !S_ISREG(existing.st_mode))) {",
      "if (ec || (exists && S_ISDIR(existing.st_mode))) {",
      "only directories are refused as outputs; devices and FIFOs are replaced"),
    M("wav-chmod", "capture/ReplacingFile.cpp", "WAV writer",
      "fchmod(descriptor, mode) != 0 || fsync(descriptor) != 0",
      "fsync(descriptor) != 0",
      "the WAV keeps the private 0600 mode of its temporary file"),
    # ---- tools/render: options --------------------------------------------------------------
    M("dbg-resume", "debug/Debugger.h", "debugger",
      "mark != 0 && cpu.PC != resumeAt &&", "mark != 0 &&",
      "P stops again at once on the breakpoint it stopped at"),
    M("dbg-out-depth", "debug/Debugger.cpp", "debugger",
      "goal == Goal::Out && cpu.SP > goalSp", "goal == Goal::Out && cpu.SP >= goalSp",
      "step out also stops at a return from a deeper call"),
    M("dbg-watch-before", "debug/Debugger.cpp", "debugger",
      "status.before = cpu.watchBefore;", "status.before = cpu.memory[status.stopAddress];",
      "a watchpoint's old byte is read after the write"),
    M("dbg-max-points", "debug/Debugger.cpp", "debugger",
      "if (status.breakCount == DebugStatus::maxPoints)",
      "if (status.breakCount > DebugStatus::maxPoints)",
      "a ninth breakpoint is accepted (and written past the list)"),
    M("dbg-window", "cpu/Mc6802.h", "debugger",
      "            if (watched[address] != 0) [[unlikely]]\n                noteWatchedWrite(address);\n",
      "", "writes are never noted for watchpoints"),
    M("hist-window", "cpu/History.cpp", "history",
      "    std::memcpy(cpu.memory, c.window.data(), c.window.size());\n", "",
      "back restores the registers but not the bytes the program wrote"),
    M("hist-search", "cpu/History.cpp", "history", ".steps <= target ? low : high", ".steps < target ? low : high",
      "back replays from a checkpoint older than the newest one before the step, across a change"),
    M("hist-wait", "cpu/History.h", "history", "        if (cpu.waiting) checkpoint(cpu);\n", "",
      "an interrupt that ends a wait is undone to the end of the WAI, not to the wait as it stood"),
    M("hist-changed", "audio/AudioEngine.cpp", "history",
      "        cpu->reset();\n        debugger.processorReset();\n    }\n    if (history != nullptr) history->changed();\n",
      "        cpu->reset();\n        debugger.processorReset();\n    }\n",
      "a batch's edits are not checkpointed: back replays over them as if the program made them"),
    M("hist-count", "cpu/Mc6802.cpp", "history", "        ++n;\n    }\n    steps += n;\n}\n\nvoid",
      "    }\n    steps += n;\n}\n\nvoid", "runUntil counts no steps"),
    M("dbg-stop-clock", "audio/AudioEngine.cpp", "debugger",
      "            target = cpu.cycleCount;\n", "",
      "after a stop the clock stands where the buffer would have ended"),
    M("dbg-run-start", "audio/AudioEngine.cpp", "debugger",
      "            engine.debugger.started(cpu);", "            ;",
      "P does not begin a new run (no resume past the breakpoint, old run start)"),
    M("dbg-over-depth", "debug/Debugger.cpp", "debugger",
      "cpu.PC == goalPc && cpu.SP == goalSp", "cpu.PC == goalPc",
      "step over stops at the return address at any stack depth"),
    M("dbg-trace-batch", "debug/Debugger.cpp", "debugger",
      "execute(cpu, trace);\n        if (batched == traceBatch) flush(trace);",
      "execute(cpu, trace);\n        if (batched == traceBatch) batched = 0;",
      "a full batch of trace records is thrown away instead of handed over"),
    M("dbg-trace-length", "debug/TraceLine.cpp", "trace",
      "const int length = info.implemented() ? info.length() : 1;",
      "const int length = info.listed ? info.length() : 1;",
      "an executed but unlisted opcode's trace line shows one byte, not its operand too"),
    M("dbg-read-indexed", "debug/DataReads.cpp", "debugger",
      "case AddrMode::Indexed: return {static_cast<std::uint16_t>(cpu.X + at(1)), size};",
      "case AddrMode::Indexed: return {at(1), size};",
      "a read watchpoint takes an indexed operand's offset for its address, ignoring X"),
    M("dbg-held-irq", "debug/Debugger.cpp", "debugger",
      "        takeHeld(cpu, trace);\n        if (batched == traceBatch) flush(trace);\n        if (breakHolds",
      "        if (breakHolds",
      "a request held under irq hold is never taken while the program runs"),
    M("dbg-trace-if", "debug/Debugger.cpp", "trace",
      "const bool traced = !cpu.waiting && holds(traceIf, cpu);",
      "const bool traced = !cpu.waiting;",
      "trace on if EXPR traces every instruction, whatever EXPR"),
    M("dbg-panel-watch", "ui/DebugPanel.cpp", "debugger screen",
      "                              debug.before, debug.after);",
      "                              debug.after, debug.before);",
      "the panel shows a watchpoint's new byte as the old one"),
    M("dbg-listing-mark", "ui/DebuggerScreen.cpp", "debugger screen",
      "if (panel.debug.isBreakpoint(address)) {",
      "if (panel.debug.isBreakpoint(static_cast<std::uint16_t>(address + 1))) {",
      "the listing marks the line before a breakpoint"),
    M("in-entry-length", "audio/Input.cpp", "keys",
      "if (++entry.digits < entry.length()) return true;",
      "if (++entry.digits <= entry.length()) return true;",
      "an entry takes one digit more than its length"),
    M("in-escape-entry", "audio/Input.cpp", "keys",
      "            entry = TypedEntry{}; // Escape cancels", "            return false; // Escape cancels",
      "Escape quits even with an entry open"),
    M("opt-base", "tools/render/RenderOptions.cpp", "options",
      "const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');",
      "const bool hex = false;",
      "numbers are decimal only: 0x.. is refused"),
    M("opt-command-range", "tools/render/RenderOptions.cpp", "options",
      'parseInteger(arg, "--command", 0, 255, error)',
      'parseInteger(arg, "--command", 0, 256, error)',
      "--command 256 is accepted"),
    M("opt-seconds-neg", "tools/render/RenderOptions.cpp", "options",
      "!std::isfinite(value) || value < 0 ||",
      "!std::isfinite(value) ||",
      "negative times are accepted"),
    M("opt-extra-arg", "tools/render/RenderOptions.cpp", "options",
      "    if (argc - optind > 1)\n        return fail(std::string(\"one ROM image only",
      "    if (argc - optind > 2)\n        return fail(std::string(\"one ROM image only",
      "a second image name is silently ignored"),
    # ---- debug: expressions -----------------------------------------------------------------
    M("expr-shift-32", "debug/Expression.cpp", "expressions",
      "l = v >= 32 ? 0 : l << v,", "l = l << (v & 31),",
      "a shift left by 32 or more takes the count modulo 32 instead of giving 0"),
    M("expr-divide-zero", "debug/Expression.cpp", "expressions",
      "l = v == 0 ? 0 : l / v,", "l = v == 0 ? l : l / v,",
      "division by zero gives the dividend"),
    M("expr-word-order", "debug/Expression.cpp", "expressions",
      "v = byteAt(v) << 8 | byteAt(v + 1);", "v = byteAt(v + 1) << 8 | byteAt(v);",
      "{E} reads the word low byte first"),
    M("expr-and-level", "debug/Expression.cpp", "expressions",
      '{"&", 5, Code::BitAnd}', '{"&", 6, Code::BitAnd}',
      "& binds as tightly as == and !="),
    M("expr-right-assoc", "debug/Expression.cpp", "expressions",
      "if (!binary(op->level + 1) || !emit(op->code))",
      "if (!binary(op->level) || !emit(op->code))",
      "operators group to the right: a-b-c is a-(b-c)"),
    M("expr-hex-first", "debug/Expression.cpp", "expressions",
      "if (std::isdigit(static_cast<unsigned char>(c)) != 0) {", "if (digitValue(c) < 16) {",
      "a word starting with a hex letter is a number: b is eleven, not register B"),
    M("expr-flag-z", "debug/Expression.cpp", "expressions",
      '{"z", Code::Flag, Mc6802::flagZ}', '{"z", Code::Flag, Mc6802::flagN}',
      "z reads the N flag"),
    M("expr-logical-or", "debug/Expression.cpp", "expressions",
      "l = l != 0 || v != 0,", "l = l | v,",
      "|| gives the bits of both sides instead of 0 or 1"),
    M("expr-name-case", "debug/Expression.cpp", "expressions",
      "if (lower(a[i]) != lower(b[i])) return false;", "if (a[i] != b[i]) return false;",
      "register, flag and label names are case-sensitive"),
    M("expr-max-steps", "debug/Expression.cpp", "expressions",
      "if (program.count == maxSteps) {", "if (program.count > maxSteps) {",
      "a 65th step is written past the program"),
    M("expr-nesting", "debug/Expression.cpp", "expressions",
      "if (nesting == maxNesting)", "if (nesting > maxNesting)",
      "one level of nesting more than the limit is accepted"),
    M("gate-less-zero", "debug/Expression.cpp", "expressions",
      "case Code::Less: t.high = k - 1, t.outside = k == 0; break;",
      "case Code::Less: t.high = k - 1; break;",
      "a<0 opens the gate: the run loop leaves at every pass of the breakpoint"),
    M("gate-mirror", "debug/Expression.cpp", "expressions",
      "mirrored[] = {Code::Greater,   Code::GreaterEqual, Code::Less,",
      "mirrored[] = {Code::Less,   Code::GreaterEqual, Code::Greater,",
      "3<a is gated as a<3: a breakpoint whose condition holds never stops"),
    M("gate-or", "debug/Expression.cpp", "expressions",
      "if ((step.code == Code::LogicalAnd) == negated) return;",
      "if (negated) return;",
      "a||b is gated as a&&b: a breakpoint whose condition holds through one side never stops"),
    M("gate-flag", "debug/Expression.cpp", "expressions",
      "if (zero != one) return zeroOrNot(gate, t, zero);",
      "if (zero != one) return zeroOrNot(gate, t, one);",
      "c==0 is gated as c==1"),
    M("gate-word", "cpu/StopGate.h", "debugger",
      ": first << 8 | cpu.memory[static_cast<std::uint16_t>(address + 1)];",
      ": first | cpu.memory[static_cast<std::uint16_t>(address + 1)] << 8;",
      "the run loop reads {N} low byte first"),
    M("gate-loop-ignored", "cpu/Mc6802.cpp", "debugger",
      "if (watchHit >= 0 || gates[stopAt[PC] - 1].open(*this)) break;",
      "if (watchHit >= 0 || !gates[stopAt[PC] - 1].open(*this)) break;",
      "the run loop leaves at a breakpoint just when its gate is closed"),
    M("gate-complete-ignored", "cpu/CompleteSet.cpp", "debugger",
      "if (cpu.watchHit >= 0 || gates[stopAt[cpu.PC] - 1].open(cpu)) break;",
      "if (cpu.watchHit >= 0) break;",
      "the complete set's run loop runs through breakpoints"),
    M("reload-settle", "rom/ImageWatcher.cpp", "reload",
      "if (nowMs - lookedAt < settleMs) return Change::None;",
      "if (nowMs - lookedAt < 1) return Change::None;",
      "a change is reported before the file has held still for 100 ms"),
    M("reload-still-written", "rom/ImageWatcher.cpp", "reload",
      "if (now != candidate) {", "if (false) {",
      "a file still being written is reported as settled"),
    M("reload-short", "rom/ImageWatcher.cpp", "reload",
      "if (file.size < RomImage::size) {", "if (file.size < 1) {",
      "a short (half-written) image is loaded"),
    M("reload-listing", "rom/ImageWatcher.cpp", "reload",
      "if (name == imageName || name == listingName) seen = true;",
      "if (name == imageName) seen = true;",
      "a change of the listing alone is not seen through inotify"),
    M("reload-follow", "app/Reload.cpp", "reload",
      "return moved != nullptr ? moved->address : address;",
      "return address;",
      "a breakpoint on a label stays at the old address"),
    M("reload-stops", "app/Reload.cpp", "reload",
      "cpu.reset();\n    Debugger& debugger", "cpu.reset();\n    control.setRunning(false);\n    Debugger& debugger",
      "a reload stops a running processor"),
    M("reload-notice", "ui/StatusLine.cpp", "reload",
      "fit(notice.data(), notice.size(), out + columns - shown, shown);", "",
      "the status line does not show the reload"),
    M("reload-no-copy", "app/Reload.cpp", "reload",
      "    std::memcpy(cpu.memory + Mc6802::romBase, image.bytes.data(), image.size);\n", "",
      "a reload says 'reloaded' but the old image plays on (the walk-through hears it)"),
    M("cat-verdict-tail", "tools/render/Catalogue.cpp", "catalogue",
      "result.samples.size() - sound.length >= steady", "result.samples.size() >= steady",
      "a sound still changing at the limit is called 'ends' when the run is long"),
    M("cat-length-off", "tools/render/Catalogue.cpp", "catalogue",
      "sound.length = result.lastChange + 1;", "sound.length = result.lastChange;",
      "a sound's length leaves out its last DAC change"),
    M("check-size", "tools/render/Catalogue.cpp", "catalogue",
      "if (first == common && before.size() == now.samples.size()) {", "if (first == common) {",
      "--check misses a sound that only got longer or shorter",
      equivalent="a render stops after a second without a DAC change, so two renders whose common "
                 "samples agree differ in length only in a hand-shortened WAV; with another --seconds "
                 "the verdicts differ and are reported"),
    M("check-verdict", "tools/render/Catalogue.cpp", "catalogue",
      "if (r[\"verdict\"] == now.verdict && kept == now.length) continue;",
      "if (kept == now.length) continue;",
      "--check misses a sound whose verdict alone changed",
      equivalent="the same samples to the same length give the same verdict under one --seconds "
                 "limit; under another the lengths differ and are reported"),
    M("page-audio-src", "tools/render/Catalogue.cpp", "catalogue",
      "<< \"<audio controls preload=\\\"none\\\" src=\\\"\" << wav <<",
      "<< \"<audio controls preload=\\\"none\\\" src=\\\"\" << wave <<",
      "the page's players point at the waveform instead of the WAV (Chromium's check sees it)"),
    M("png-half", "catalog/Pictures.cpp", "catalogue",
      "return writeWholeFile(path, bytes.data(), size, error);",
      "return writeWholeFile(path, bytes.data(), size / 2, error);",
      "a PNG is written cut short"),
    M("browse-end-home", "rom/RomBrowser.cpp", "selection",
      "selectedIndex = ends < 0 ? 0 : count - 1;", "selectedIndex = ends > 0 ? 0 : count - 1;",
      "End goes to the first file and Home to the last"),
    M("browse-mark-below", "rom/RomBrowser.cpp", "selection",
      "if (below > 0)", "if (below > 1)",
      "the mark below is missing when one entry lies below the window"),
    M("fullscreen-no-wm", "ui/DebuggerScreen.cpp", "window",
      "        SDL_SetWindowSize(window, display.w, display.h);\n", "",
      "F11 without a window manager draws the picture offset (the walk-through sees it)"),
    M("settings-xdg-relative", "app/Settings.cpp", "settings",
      "xdgConfigHome[0] == '/'", "xdgConfigHome[0] != '\\0'",
      "a relative XDG_CONFIG_HOME is used"),
    M("settings-damage-kept", "app/Settings.cpp", "settings",
      "    settings = Settings{};\n", "",
      "a damaged file leaves what was there before instead of the defaults"),
    M("settings-unknown-key", "app/Settings.cpp", "settings",
      "        } else {\n            good = false;", "        } else {\n            good = true;",
      "a line with an unknown key is not taken as damage"),
    M("settings-last-wins", "app/CommandLine.cpp", "settings",
      "if (!options.last || !options.image.empty() || !options.directory.empty()) return {};",
      "if (!options.last) return {};",
      "--last overrides the path named with it"),
    M("drop-any-file", "app/App.cpp", "drop",
      'path.extension() == ".snd" ? CommandLine::usePath(path, dropped) : ""',
      "CommandLine::usePath(path, dropped)",
      "a dropped file of any name is loaded"),
    # ---- debug: the command line ---------------------------------------------------------
    M("cmd-cond-ignored", "debug/Debugger.h", "command line",
      "breakIf[mark - 1u].evaluate(cpu) != 0", "true",
      "a conditional breakpoint stops whether or not its condition holds"),
    M("cmd-reindex", "debug/Debugger.cpp", "command line",
      "breakAt[points[j - 1]] = static_cast<std::uint8_t>(j);",
      "breakAt[points[j - 1]] = static_cast<std::uint8_t>(j + 1);",
      "after a breakpoint is cleared, the later ones take their neighbour's condition"),
    M("cmd-range-end", "debug/Debugger.cpp", "command line",
      "a <= status.watchEnds[i] && a < cpu.watched.size()",
      "a < status.watchEnds[i] && a < cpu.watched.size()",
      "a watched range leaves out its last byte"),
    M("cmd-go-once", "debug/Debugger.cpp", "command line",
      "goal == Goal::Reach && cpu.PC == goalPc", "goal == Goal::Reach && cpu.PC != goalPc",
      "go ADDR stops after the first instruction instead of at ADDR"),
    M("cmd-window", "debug/Command.cpp", "command line",
      "if (c.address > Mc6802::writeWindowLast) {", "if (c.address >= Mc6802::writeWindowLast) {",
      "[0410]=... is refused although 0410 is in the write window"),
    M("cmd-cc-limit", "debug/Command.cpp", "command line",
      '{"cc", Register::CC, 0xFF}', '{"cc", Register::CC, 0xFFFF}',
      "cc= takes a value past FF and keeps its low byte"),
    M("cmd-opener", "audio/Input.cpp", "command line",
      '(text != ":" && text != ";")', '(text != ":")',
      "the ; that opens the command line is typed into it"),
    M("cmd-history-twice", "audio/Input.cpp", "command line",
      "(history.empty() || history.back() != line.text)", "true",
      "a line run twice in a row is kept twice in the history"),
    # ---- views: list, mem, data lines, rows before PC ---------------------------------------
    M("view-mem-base-edit", "audio/AudioEngine.cpp", "views",
      "const std::int32_t nibble = cursorNibble(editCursor, memoryBase);",
      "const std::int32_t nibble = editCursor;",
      "with mem ADDR a digit edits the byte at cursor / 2, not the one shown at ADDR + cursor / 2"),
    M("view-data-as-code", "ui/Listing.cpp", "views",
      "if (next >= 0) return static_cast<std::uint16_t>(next);",
      "if (next >= 0 && labels->dataAt(address)->kind == Labels::Data::Kind::Space)\n"
      "            return static_cast<std::uint16_t>(next);",
      "the labelled listing decodes db and dw lines as instructions (fills stay data)"),
    M("view-fill-cut", "debug/Labels.cpp", "views",
      "runsOn = bytes >= listedBytesMost;", "runsOn = bytes > listedBytesMost;",
      "a fill longer than crasm lists ends where its listing stops"),
    M("view-before-off-by-one", "ui/Listing.cpp", "views",
      "(rows - std::min(rows, before)) % mostBefore", "(rows - std::min(rows, before) + 1) % mostBefore",
      "the listing before PC starts one row later than asked (two rows, not three)"),
    # ---- capture: state files ---------------------------------------------------------------
    M("state-crc", "capture/StateFile.cpp", "state files",
      "if (numberAt(bytes + fileSize - 4, 4) != crcOf(bytes, fileSize - 4)) {", "if (false) {",
      "the checksum is never compared: a damaged state loads"),
    M("state-newer", "capture/StateFile.cpp", "state files",
      "if (version > formatVersion) {", "if (version < formatVersion) {",
      "the version check is inverted: a newer file is read as this version"),
    M("state-refused-put", "app/Commands.cpp", "state files",
      "if (!state->load(file, answer)) return false;", "state->load(file, answer);",
      "a refused state file is put into the board all the same"),
]


# ---- running ------------------------------------------------------------------------------

class Runner:
    """Runs commands in their own process group, so that an interrupted run ends them all."""

    def __init__(self, log):
        self.log = log

    def __call__(self, args, cwd=ROOT, timeout=None):
        self.log.write(f"\n$ {' '.join(map(str, args))}\n")
        self.log.flush()
        proc = subprocess.Popen(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, errors="replace", start_new_session=True)
        try:
            out, _ = proc.communicate(timeout=timeout)
        except BaseException:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            proc.wait()
            raise
        self.log.write(out)
        self.log.flush()
        return proc.returncode, out


def configure(run, build_dir):
    if (build_dir / "CMakeCache.txt").exists():
        return True
    args = ["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
            "-DHUMMBOX_WERROR=OFF"]
    if shutil.which("ninja"):
        args += ["-G", "Ninja"]
    code, _ = run(args)
    return code == 0


def build(run, build_dir, targets, jobs):
    code, _ = run(["cmake", "--build", build_dir, "-j", str(jobs), "--target", *targets])
    return code == 0


FAILED_LINE = re.compile(r"^\s*\d+\s+-\s+(\S+)\s+\((.*)\)\s*$")


def run_tests(run, build_dir, jobs, timeout, e2e):
    """Returns (all passed, names of the tests that failed, output)."""
    args = ["ctest", "--test-dir", build_dir, "-j", str(jobs), "--timeout", str(timeout),
            "--output-on-failure"]
    if not e2e:
        args += ["-LE", "e2e"]
    code, out = run(args)
    failed = []
    if "The following tests FAILED:" in out:
        tail = out.split("The following tests FAILED:", 1)[1]
        failed = [m.group(1) for line in tail.splitlines() if (m := FAILED_LINE.match(line))]
    if code != 0 and not failed:
        failed = ["(ctest failed: see the log)"]
    if "No tests were found" in out:
        failed = ["(no tests found)"]
    return code == 0 and not failed, failed, out


def apply_edits(text, mutation):
    """The mutated text, or None when an edit's text does not occur exactly once."""
    for old, new in mutation.edits():
        if text.count(old) != 1:
            return None
        text = text.replace(old, new, 1)
    return text


def git_clean(files):
    code = subprocess.run(["git", "-C", ROOT, "diff", "--quiet", "--", *files]).returncode
    return code == 0


# ---- reporting ----------------------------------------------------------------------------

def summary_lines(mutations, results):
    counted = [m for m in mutations if results.get(m.id, ("",))[0] in
               ("CAUGHT", "MISSED", "BUILD-FAILED")]
    lines = []

    def ratio(ms):
        caught = sum(results[m.id][0] == "CAUGHT" for m in ms)
        built_not = sum(results[m.id][0] == "BUILD-FAILED" for m in ms)
        missed = sum(results[m.id][0] == "MISSED" for m in ms)
        return caught, built_not, missed, len(ms)

    caught, build_failed, missed, applicable = ratio(counted)
    stale = sum(results.get(m.id, ("",))[0] == "STALE" for m in mutations)
    equivalent = sum(results.get(m.id, ("",))[0] == "EQUIVALENT" for m in mutations)
    share = f"{100.0 * (caught + build_failed) / applicable:.0f}%" if applicable else "-"
    lines.append(f"mutations: {len(mutations)}  applicable: {applicable}  stale: {stale}  "
                 f"equivalent: {equivalent}")
    lines.append(f"caught by the tests: {caught}  rejected by the compiler: {build_failed}  "
                 f"missed: {missed}")
    lines.append(f"caught / applicable: {caught + build_failed}/{applicable} ({share})")
    lines.append("")
    lines.append(f"{'folder':<14} {'caught':>6} {'missed':>6} {'build':>6}  missed ids")
    for folder in sorted({m.folder for m in counted}):
        ms = [m for m in counted if m.folder == folder]
        c, b, x, n = ratio(ms)
        ids = " ".join(m.id for m in ms if results[m.id][0] == "MISSED")
        lines.append(f"{folder:<14} {c + b:>3}/{n:<2} {x:>6} {b:>6}  {ids}")
    return lines


def print_table(mutations, results, out=sys.stdout):
    width = max(len(m.id) for m in mutations)
    print(f"\n{'id':<{width}}  {'folder':<12} {'area':<13} {'result':<12} detail", file=out)
    for m in mutations:
        if m.id not in results:
            continue
        result, detail, _ = results[m.id]
        print(f"{m.id:<{width}}  {m.folder:<12} {m.area:<13} {result:<12} {detail}", file=out)
    print("", file=out)
    for line in summary_lines(mutations, results):
        print(line, file=out)


def select(patterns):
    if not patterns:
        return list(MUTATIONS)
    chosen = [m for m in MUTATIONS if any(fnmatch.fnmatchcase(m.id, p) for p in patterns)]
    unknown = [p for p in patterns if not any(fnmatch.fnmatchcase(m.id, p) for m in MUTATIONS)]
    if unknown:
        sys.exit(f"mutate: no mutation matches {', '.join(unknown)} (see --list)")
    return chosen


def list_mutations(mutations):
    width = max(len(m.id) for m in mutations)
    for m in mutations:
        path = ROOT / m.file
        if m.equivalent:
            state = "equivalent"
        elif not path.exists() or apply_edits(path.read_text(), m) is None:
            state = "STALE"
        else:
            state = "ok"
        print(f"{m.id:<{width}}  {m.file:<30} {state:<10} {m.what}")


# ---- main ---------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(
        description="Plant realistic faults one at a time and see whether the tests catch them.")
    parser.add_argument("ids", nargs="*", help="mutation ids or glob patterns (default: all)")
    parser.add_argument("--list", action="store_true", help="list the mutations and exit")
    parser.add_argument("--build-dir", default="build-mutate",
                        help="build directory, relative to the repository (default build-mutate)")
    parser.add_argument("--e2e", action="store_true",
                        help="also run the end-to-end walk-through (label e2e)")
    parser.add_argument("-j", "--jobs", type=int, default=2, help="build and test jobs (default 2)")
    parser.add_argument("--timeout", type=int, default=120,
                        help="seconds per test before ctest stops it (default 120)")
    parser.add_argument("--targets", nargs="+", default=["all"],
                        help="build targets (default: all, which the tests use)")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip building and testing the unchanged tree first")
    parser.add_argument("--allow-dirty", action="store_true",
                        help="run although the files to mutate have uncommitted changes")
    args = parser.parse_args()

    mutations = select(args.ids)
    if args.list:
        list_mutations(mutations)
        return 0

    # Two runs on one tree would take each other's mutations for the original text.
    lock_name = "hummbox-mutate-" + hashlib.sha1(str(ROOT).encode()).hexdigest()[:12] + ".lock"
    lock = open(Path(tempfile.gettempdir()) / lock_name, "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit(f"mutate: another run is busy with {ROOT}")

    build_dir = (ROOT / args.build_dir).resolve()
    build_dir.mkdir(parents=True, exist_ok=True)
    files = sorted({m.file for m in mutations})
    if not args.allow_dirty and not git_clean(files):
        sys.exit("mutate: uncommitted changes in the files to mutate; commit them or pass "
                 "--allow-dirty")

    # SIGTERM and SIGHUP end the run like Ctrl-C, so the finally clauses put the files back.
    def interrupt(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, interrupt)
    signal.signal(signal.SIGHUP, interrupt)

    log_path = build_dir / "mutate.log"
    results = {}
    started = time.monotonic()
    interrupted = False
    originals = {}
    with open(log_path, "w") as log:
        run = Runner(log)
        print(f"mutate: {len(mutations)} mutations, build in {build_dir}, "
              f"{'with' if args.e2e else 'without'} the e2e walk-through; log in {log_path}",
              flush=True)
        if not configure(run, build_dir):
            sys.exit(f"mutate: cmake configure failed (see {log_path})")
        if not args.no_baseline:
            t = time.monotonic()
            if not build(run, build_dir, args.targets, args.jobs):
                sys.exit(f"mutate: the unchanged tree does not build (see {log_path})")
            ok, failed, _ = run_tests(run, build_dir, args.jobs, args.timeout, args.e2e)
            if not ok:
                sys.exit(f"mutate: the unchanged tree fails {', '.join(failed)} (see {log_path})")
            print(f"baseline: builds and passes ({time.monotonic() - t:.0f} s)", flush=True)

        # Mutations of one file run one after another, so that fewer objects are rebuilt.
        order = sorted(mutations, key=lambda m: files.index(m.file))
        try:
            for i, m in enumerate(order, 1):
                t = time.monotonic()
                path = ROOT / m.file
                if m.equivalent:
                    results[m.id] = ("EQUIVALENT", m.equivalent, 0.0)
                    continue
                original = path.read_bytes() if path.exists() else None
                mutated = apply_edits(original.decode(), m) if original is not None else None
                if mutated is None:
                    results[m.id] = ("STALE", "text not found exactly once", 0.0)
                else:
                    originals[m.file] = original
                    log.write(f"\n==== {m.id}: {m.what}\n")
                    try:
                        path.write_text(mutated)
                        if not build(run, build_dir, args.targets, args.jobs):
                            results[m.id] = ("BUILD-FAILED", "", 0.0)
                        else:
                            ok, failed, _ = run_tests(run, build_dir, args.jobs, args.timeout,
                                                      args.e2e)
                            if ok:
                                results[m.id] = ("MISSED", m.what, 0.0)
                            else:
                                more = f" +{len(failed) - 1}" if len(failed) > 1 else ""
                                results[m.id] = ("CAUGHT", failed[0] + more, 0.0)
                    finally:
                        path.write_bytes(original)
                result, detail, _ = results[m.id]
                elapsed = time.monotonic() - t
                results[m.id] = (result, detail, elapsed)
                print(f"[{i:2}/{len(order)}] {m.id:<24} {result:<12} {elapsed:5.0f} s  {detail}",
                      flush=True)
        except KeyboardInterrupt:
            interrupted = True
            print("\nmutate: interrupted; the files are restored", flush=True)
        finally:
            for file, content in originals.items():
                if (ROOT / file).read_bytes() != content:
                    (ROOT / file).write_bytes(content)

    total = time.monotonic() - started
    print_table(mutations, results)
    print(f"\nwall time: {total / 60:.1f} min")
    with open(build_dir / "mutate-results.txt", "w") as out:
        print_table(mutations, results, out)
        print(f"\nwall time: {total / 60:.1f} min", file=out)

    if not args.allow_dirty and not git_clean(files):
        print("mutate: ERROR: the tree is not clean after the run (git diff shows changes)")
        return 3
    print("tree clean: git diff shows no change in the mutated files")
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
