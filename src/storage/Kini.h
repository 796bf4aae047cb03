// kini: an in-memory list of name=value text lines, loaded from and saved to a file, read and
// written by key, with multi-field values of up to 15 tagged fields ("\1" ... "\F").
//
// Names match without regard to letter case; the first matching line wins; a line without
// "=" has no name and stays where it is. Results come back in the document's 15 field slots
// and stay valid until the next read or field operation on the same document.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "storage/Kvar.h"

namespace movrek {

class kini {
public:
    static constexpr int kFieldCount = 15;

    kini();

    // False, with nothing changed, when no file exists at path. Otherwise the lines become the
    // file's lines (byte-order mark FF FE, FE FF or EF BB BF, else the legacy code page).
    // Raises FileError when the file exists but cannot be read; the lines are then unchanged.
    bool Load(kvar path);
    // Replaces the file atomically with FF FE and every line in UTF-16LE followed by CR LF.
    // Raises FileError on failure, leaving the old file as it was. Returns true.
    bool Save(kvar path);

    // Read's default and WriteField's value are copies: a caller may pass a slot back in (a
    // value read a moment ago), and both calls rewrite the slots before they use it.

    // Slot 1 holding the matching line's value text, or the empty text without a match.
    kvar& Read(kvar key);
    // As Read(key), but an empty result becomes a copy of def, kind included.
    kvar& Read(kvar key, kvar def);
    // Replaces the first matching line with key=value, or appends it.
    void Write(kvar key, kvar value);

    // Field n (1 to 15) of the key's multi-field value; any other n gives the empty text.
    kvar& ReadField(int n, kvar key);
    // Sets field n of the key's multi-field value and rewrites the line in field order.
    void WriteField(int n, kvar key, kvar value);

    // Splits a multi-field value into the slots (all slots become text; unset ones empty).
    void SplitFields(std::u16string_view value);
    // Each code unit as four lower-case hex digits: low byte first, then high byte.
    static std::u16string HexEncode(std::u16string_view text);
    static std::u16string HexDecode(std::u16string_view text);

    const std::vector<std::u16string>& Lines() const noexcept { return lines_; }
    kvar& Slot(int n) { return slots_[n - 1]; }  // n from 1 to 15
    const kvar& Slot(int n) const { return slots_[n - 1]; }

    // The file form, also used by Load and Save.
    static std::u16string DecodeFileText(std::string_view bytes);
    static std::vector<std::u16string> SplitLines(std::u16string_view text);
    static std::string EncodeFileText(const std::vector<std::u16string>& lines);

private:
    // Index of the first line whose name matches key, or -1.
    long FindLine(std::u16string_view key) const;
    void ReadAndSplit(std::u16string_view key);
    void WriteLine(std::u16string_view name, std::u16string_view value);

    std::vector<std::u16string> lines_;
    kvar slots_[kFieldCount];
};

}  // namespace movrek
