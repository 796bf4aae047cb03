// kvar: a small value holding a 32-bit integer or a UTF-16 text, converting between them on
// demand. Short texts and all integers live in an 8-byte inline buffer; longer texts in a
// zero-filled heap block of exactly the needed size plus a 2-byte terminator.
//
// Conversions and combinations (AsText, +, ==) produce their result in the value's
// conversion cache, a second kvar owned by the value. Pointers and references into the cache
// stay valid until the next conversion or combination on the same value. Copies never carry
// the cache.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace movrek {

class kvar {
public:
    enum class Kind { Integer, Text };

    static constexpr std::size_t kInlineBytes = 8;

    kvar() noexcept;  // integer 0
    kvar(int value) noexcept;
    kvar(const char16_t* text);  // a null pointer gives the empty text
    kvar(std::u16string_view text);
    kvar(const std::u16string& text);
    kvar(const kvar& other);
    kvar& operator=(const kvar& other);  // the target keeps its own cache
    ~kvar();

    // Kind and storage.
    Kind kind() const noexcept { return kind_; }
    bool IsText() const noexcept { return kind_ == Kind::Text; }
    bool IsInteger() const noexcept { return kind_ == Kind::Integer; }
    std::size_t Capacity() const noexcept { return capacity_; }  // bytes, terminator excluded
    bool IsInline() const noexcept { return heap_ == nullptr; }
    const kvar* Cache() const noexcept { return cache_.get(); }

    // Makes room for n bytes. Keeps the storage when it is large enough; otherwise takes a
    // new zero-filled heap block of n + 2 bytes without copying the old contents.
    void Reserve(std::size_t n);

    void SetInt(int value) noexcept;
    // The text up to its first code unit 0. The view form stops at an embedded 0 as well.
    void SetText(const char16_t* text);
    void SetText(std::u16string_view text);
    // Appends to the text; an integer value is first replaced by its decimal text.
    void AppendText(std::u16string_view text);
    void AppendText(const char16_t* text);
    // This value becomes count code units of source's text from start (0-based), count cut
    // back at the source's end. Nothing changes when source is not a text, start is outside
    // the text, or count <= 0.
    void Mid(const kvar& source, int start, int count);

    int Length() const noexcept;                  // code units of a text; 0 for an integer
    std::u16string_view TextView() const noexcept;  // the text itself; empty for an integer

    // Integer: itself. Text: optional blanks, sign and decimal digits; more digits than fit in
    // 32 bits wrap around modulo 2^32; no digits gives 0.
    int AsInt() const noexcept;
    // Integer: its value. Text: the leading decimal floating-point number, 0 when none.
    double AsDouble() const noexcept;
    // The text form, made in the cache; valid until the next conversion or combination.
    const char16_t* AsText() const;
    std::u16string AsString() const { return std::u16string(AsText()); }

    // Converts this value, in its cache, to right's kind, then adds integers or joins texts.
    // The result is this value's cache.
    kvar& operator+(const kvar& right) const;
    // Converts this value, in its cache, to right's kind and compares: integers by value,
    // texts code unit by code unit.
    bool operator==(const kvar& right) const;

private:
    unsigned char* Data() noexcept { return heap_ ? heap_ : inline_; }
    const unsigned char* Data() const noexcept { return heap_ ? heap_ : inline_; }
    char16_t* Chars() noexcept { return reinterpret_cast<char16_t*>(Data()); }
    const char16_t* Chars() const noexcept { return reinterpret_cast<const char16_t*>(Data()); }
    int RawInt() const noexcept;
    bool Overlaps(const char16_t* p) const noexcept;
    kvar& CacheValue() const;
    kvar& ConvertInCache(Kind to) const;
    void WriteDecimal(int value);

    alignas(std::int32_t) unsigned char inline_[kInlineBytes + 2] = {};
    unsigned char* heap_ = nullptr;
    std::size_t capacity_ = kInlineBytes;
    Kind kind_ = Kind::Integer;
    mutable std::unique_ptr<kvar> cache_;
};

}  // namespace movrek
