#pragma once

#include <string_view>

struct AudioEngine;
struct Labels;

// Runs a script's lines (text) as command-line commands, in order, each against the live
// processor inside SDL_LockAudio, so that every line sees what the ones before it did. A
// '#' at the start of a line or after a blank, and before a blank or the line's end, starts
// a comment (a '#' before a digit is a decimal number). A line that fails changes nothing:
// "hummbox: NAME:LINE: what is wrong" goes to stderr and the rest still run. Returns the
// number of lines that failed.
int runScript(std::string_view text, std::string_view name, AudioEngine& engine,
              const Labels* labels);
