#include "storage/Kvar.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <string>

namespace movrek {
namespace {

// Blanks skipped before a number: the C library's white space, plus the ideographic space
// that Japanese input methods type.
bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == u'\u3000';
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::size_t LengthOf(const char16_t* text) {
    return text ? std::char_traits<char16_t>::length(text) : 0;
}

// The leading decimal floating-point number of text (blanks, sign, digits with an optional
// point, an optional exponent), 0 when the text does not start with one.
double ParseLeadingDouble(std::u16string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string ascii;  // the number without its sign, for from_chars
    // The decimal order of magnitude, used only to tell overflow from underflow.
    long magnitude = 0;
    bool seenNonZero = false;
    bool anyDigit = false;
    while (i < n && IsDigit(text[i])) {
        anyDigit = true;
        if (text[i] != u'0') seenNonZero = true;
        if (seenNonZero && magnitude < 100000) ++magnitude;
        ascii += static_cast<char>(text[i++]);
    }
    if (i < n && text[i] == u'.') {
        std::size_t j = i + 1;
        std::string fraction;
        while (j < n && IsDigit(text[j])) {
            if (!seenNonZero) {
                if (text[j] != u'0') seenNonZero = true;
                else if (magnitude > -100000) --magnitude;
            }
            fraction += static_cast<char>(text[j++]);
        }
        if (anyDigit || !fraction.empty()) {
            anyDigit = true;
            ascii += '.';
            ascii += fraction;
            i = j;
        }
    }
    if (!anyDigit) return 0.0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        if (j < n && IsDigit(text[j])) {
            std::string exponent;
            long expValue = 0;
            while (j < n && IsDigit(text[j])) {
                if (expValue < 1000000) expValue = expValue * 10 + (text[j] - u'0');
                exponent += static_cast<char>(text[j++]);
            }
            ascii += 'e';
            if (expNegative) ascii += '-';
            ascii += exponent;
            magnitude += expNegative ? -expValue : expValue;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = (seenNonZero && magnitude > 0) ? HUGE_VAL : 0.0;
    else if (result.ec != std::errc())
        value = 0.0;
    return negative ? -value : value;
}

}  // namespace

kvar::kvar() noexcept = default;

kvar::kvar(int value) noexcept { SetInt(value); }

kvar::kvar(const char16_t* text) { SetText(text); }

kvar::kvar(std::u16string_view text) { SetText(text); }

kvar::kvar(const std::u16string& text) { SetText(std::u16string_view(text)); }

kvar::kvar(const kvar& other) : kvar() {
    if (other.IsText()) SetText(other.Chars());
    else SetInt(other.RawInt());
}

kvar& kvar::operator=(const kvar& other) {
    if (this == &other) return *this;
    if (other.IsText()) SetText(other.Chars());
    else SetInt(other.RawInt());
    return *this;
}

kvar::~kvar() { delete[] heap_; }

void kvar::Reserve(std::size_t n) {
    if (capacity_ >= n) return;
    if (n > SIZE_MAX - 2) throw std::bad_alloc();
    unsigned char* block = new unsigned char[n + 2]();  // zero-filled
    delete[] heap_;
    heap_ = block;
    capacity_ = n;
}

int kvar::RawInt() const noexcept {
    std::int32_t value;
    std::memcpy(&value, Data(), sizeof value);
    return value;
}

void kvar::SetInt(int value) noexcept {
    const std::int32_t v = value;
    std::memcpy(Data(), &v, sizeof v);
    kind_ = Kind::Integer;
}

bool kvar::Overlaps(const char16_t* p) const noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    const unsigned char* begin = Data();
    return std::less_equal<>()(begin, bytes) && std::less<>()(bytes, begin + capacity_ + 2);
}

void kvar::SetText(const char16_t* text) {
    if (!text) {
        kind_ = Kind::Text;
        Chars()[0] = 0;
        return;
    }
    SetText(std::u16string_view(text, LengthOf(text)));
}

void kvar::SetText(std::u16string_view text) {
    const std::size_t stop = text.find(char16_t(0));
    if (stop != std::u16string_view::npos) text = text.substr(0, stop);
    if (!text.empty() && Overlaps(text.data()) && capacity_ < text.size() * 2) {
        // Cannot happen for a part of our own text, which always fits; copy to be safe.
        const std::u16string copy(text);
        SetText(std::u16string_view(copy));
        return;
    }
    Reserve(text.size() * 2);
    char16_t* chars = Chars();
    if (!text.empty()) std::memmove(chars, text.data(), text.size() * sizeof(char16_t));
    chars[text.size()] = 0;
    kind_ = Kind::Text;
}

void kvar::AppendText(const char16_t* text) {
    AppendText(std::u16string_view(text ? text : u"", LengthOf(text)));
}

void kvar::AppendText(std::u16string_view text) {
    const std::size_t stop = text.find(char16_t(0));
    if (stop != std::u16string_view::npos) text = text.substr(0, stop);
    if (IsInteger()) WriteDecimal(RawInt());
    if (!text.empty() && Overlaps(text.data())) {
        const std::u16string copy(text);
        AppendText(std::u16string_view(copy));
        return;
    }
    const std::size_t old = static_cast<std::size_t>(Length());
    const std::size_t needed = (old + text.size()) * 2;
    if (capacity_ < needed) {
        unsigned char* block = new unsigned char[needed + 2]();
        std::memcpy(block, Data(), old * sizeof(char16_t));
        delete[] heap_;
        heap_ = block;
        capacity_ = needed;
    }
    char16_t* chars = Chars();
    if (!text.empty()) std::memcpy(chars + old, text.data(), text.size() * sizeof(char16_t));
    chars[old + text.size()] = 0;
}

void kvar::Mid(const kvar& source, int start, int count) {
    if (!source.IsText() || count <= 0 || start < 0) return;
    const int length = source.Length();
    if (start >= length) return;
    if (count > length - start) count = length - start;
    SetText(source.TextView().substr(static_cast<std::size_t>(start),
                                     static_cast<std::size_t>(count)));
}

int kvar::Length() const noexcept {
    return IsText() ? static_cast<int>(LengthOf(Chars())) : 0;
}

std::u16string_view kvar::TextView() const noexcept {
    if (!IsText()) return {};
    return std::u16string_view(Chars(), LengthOf(Chars()));
}

int kvar::AsInt() const noexcept {
    if (IsInteger()) return RawInt();
    const char16_t* p = Chars();
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
    // Unsigned arithmetic wraps modulo 2^32 like a 32-bit machine register, without
    // undefined behaviour however many digits follow.
    std::uint32_t value = 0;
    while (IsDigit(*p)) value = value * 10u + static_cast<std::uint32_t>(*p++ - u'0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);  // modulo 2^32 since C++20
}

double kvar::AsDouble() const noexcept {
    if (IsInteger()) return RawInt();
    return ParseLeadingDouble(TextView());
}

void kvar::WriteDecimal(int value) {
    // An 80-byte buffer holds any 32-bit number with room to spare.
    Reserve(80);
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    char16_t* chars = Chars();
    std::size_t i = 0;
    for (const char* d = digits; d != result.ptr; ++d) chars[i++] = static_cast<char16_t>(*d);
    chars[i] = 0;
    kind_ = Kind::Text;
}

kvar& kvar::CacheValue() const {
    if (!cache_) cache_ = std::make_unique<kvar>();
    return *cache_;
}

const char16_t* kvar::AsText() const {
    kvar& cache = CacheValue();
    if (IsText()) cache.SetText(Chars());
    else cache.WriteDecimal(RawInt());
    return cache.Chars();
}

kvar& kvar::ConvertInCache(Kind to) const {
    if (to == Kind::Text) {
        AsText();
        return *cache_;
    }
    kvar& cache = CacheValue();
    cache.SetInt(AsInt());
    return cache;
}

kvar& kvar::operator+(const kvar& right) const {
    // The right operand may be our own cache, which the conversion overwrites.
    const kvar* r = &right;
    kvar saved;
    if (cache_ && r == cache_.get()) {
        saved = right;
        r = &saved;
    }
    kvar& result = ConvertInCache(r->kind_);
    if (r->IsInteger()) {
        const std::uint32_t sum =
            static_cast<std::uint32_t>(result.RawInt()) + static_cast<std::uint32_t>(r->RawInt());
        result.SetInt(static_cast<std::int32_t>(sum));
    } else {
        result.AppendText(r->TextView());
    }
    return result;
}

bool kvar::operator==(const kvar& right) const {
    const kvar* r = &right;
    kvar saved;
    if (cache_ && r == cache_.get()) {
        saved = right;
        r = &saved;
    }
    const kvar& left = ConvertInCache(r->kind_);
    if (r->IsInteger()) return left.RawInt() == r->RawInt();
    return left.TextView() == r->TextView();
}

}  // namespace movrek
