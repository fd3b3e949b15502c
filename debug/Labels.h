#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The code labels of a ROM and the places its data lies, read from crasm's listing of its
// source, for the debugger's labelled listing and the status line.
struct Labels {
    static constexpr std::size_t maxListingBytes = 1 << 20;

    struct Entry {
        std::uint16_t address;
        std::string name;
    };
    std::vector<Entry> entries; // by address, one name per address (the first one listed)
    // A line of data (db, dw, dl, ddb, asc, ds, align, or a macro made only of those): the
    // bytes from address up to end.
    struct Data {
        enum class Kind : std::uint8_t { Bytes, Words, Text, Space };
        std::uint16_t address;
        std::uint32_t end; // one past the last byte
        Kind kind;
    };
    std::vector<Data> data; // by address

    // Reads the labels of a listing of the 2,048-byte image at 0xF800. A listing whose code
    // lies outside 0xF800..0xFFFF or whose bytes differ from the image is refused: false,
    // no labels, and the reason in error.
    bool parse(std::string_view listing, const std::uint8_t* image, std::string& error);
    // The listing beside an image (demo.lst for demo.snd), when there is one. Without a
    // listing there are no labels and nothing is said; a refused one leaves no labels and
    // one warning line on stderr.
    void load(const std::string& imagePath, const std::uint8_t* image);

    bool empty() const { return entries.empty() && data.empty(); }
    // The label at exactly address, or nullptr.
    const std::string* nameAt(std::uint16_t address) const;
    // The label named exactly name, or nullptr.
    const Entry* find(std::string_view name) const;
    // "name" or "name+offset" (decimal) for the nearest label at or below address; empty
    // when no label lies at or below it.
    std::string containing(std::uint16_t address) const;
    // The disassembly text with its extended operand ("jsr  $f84a") shown as the label at
    // that address ("jsr  delay"), cut to columns characters. For a relative branch, whose
    // text shows the displacement ("bne  $fd"), branchTarget is where it goes (else -1):
    // the displacement shows as the label there ("bne  loop").
    void labelOperand(char* text, std::size_t columns, std::int32_t branchTarget = -1) const;
    // The data line that holds address, or nullptr.
    const Data* dataAt(std::uint16_t address) const;
    // A listing row of the data at address, as crasm's source has it: two bytes ("db   $5e,$00"),
    // a word ("dw   tone", a label when one lies there), five characters of text or the
    // rest of a fill ("ds   $685"), rows counted from the line's first byte. Writes the text,
    // cut to columns, and returns the next row's address; -1, writing nothing, when address
    // holds no data.
    std::int32_t dataRow(std::uint16_t address, const std::uint8_t* memory, char* text,
                         std::size_t columns) const;
};
