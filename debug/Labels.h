#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The code labels of a ROM, read from crasm's listing of its source, for the debugger's
// labelled listing and the status line.
struct Labels {
    static constexpr std::size_t maxListingBytes = 1 << 20;

    struct Entry {
        std::uint16_t address;
        std::string name;
    };
    std::vector<Entry> entries; // by address, one name per address (the first one listed)

    // Reads the labels of a listing of the 2,048-byte image at 0xF800. A listing whose code
    // lies outside 0xF800..0xFFFF or whose bytes differ from the image is refused: false,
    // no labels, and the reason in error.
    bool parse(std::string_view listing, const std::uint8_t* image, std::string& error);
    // The listing beside an image (demo.lst for demo.snd), when there is one. Without a
    // listing there are no labels and nothing is said; a refused one leaves no labels and
    // one warning line on stderr.
    void load(const std::string& imagePath, const std::uint8_t* image);

    bool empty() const { return entries.empty(); }
    // The label at exactly address, or nullptr.
    const std::string* nameAt(std::uint16_t address) const;
    // "name" or "name+offset" (decimal) for the nearest label at or below address; empty
    // when no label lies at or below it.
    std::string containing(std::uint16_t address) const;
    // The disassembly text with its extended operand ("jsr  $f84a") shown as the label at
    // that address ("jsr  delay"), cut to columns characters. For a relative branch, whose
    // text shows the displacement ("bne  $fd"), branchTarget is where it goes (else -1):
    // the displacement shows as the label there ("bne  loop").
    void labelOperand(char* text, std::size_t columns, std::int32_t branchTarget = -1) const;
};
