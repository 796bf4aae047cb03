#include "storage/Kini.h"

#include <optional>

#include "platform/TextFile.h"
#include "platform/Utf.h"

namespace movrek {
namespace {

// Field number of a tag's second character ("1"-"9", "A"-"F"), 0 for anything else.
int TagField(char16_t c) {
    if (c >= u'1' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return 0;
}

char16_t TagChar(int field) {
    return static_cast<char16_t>(field < 10 ? u'0' + field : u'A' + field - 10);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// One pair of characters read as the C library reads a base-16 long: leading blanks, an
// optional sign, digits up to the first non-digit; no digit gives 0.
unsigned char PairByte(std::u16string_view pair) {
    size_t i = 0;
    while (i < pair.size() && IsSpace(pair[i])) ++i;
    bool negative = false;
    if (i < pair.size() && (pair[i] == u'+' || pair[i] == u'-')) negative = pair[i++] == u'-';
    unsigned value = 0;
    bool any = false;
    for (; i < pair.size() && HexDigit(pair[i]) >= 0; ++i) {
        value = value * 16 + static_cast<unsigned>(HexDigit(pair[i]));
        any = true;
    }
    if (!any) return 0;
    if (negative) value = 0u - value;
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

kini::kini() = default;

bool kini::Load(kvar path) {
    const std::u16string file = path.AsString();
    if (!TextFileExists(file)) return false;
    const std::optional<std::string> bytes = ReadFileBytes(file);
    if (!bytes) return false;  // removed between the two looks
    lines_ = SplitLines(DecodeFileText(*bytes));
    return true;
}

bool kini::Save(kvar path) {
    ReplaceFileBytes(path.AsString(), EncodeFileText(lines_));
    return true;
}

std::u16string kini::DecodeFileText(std::string_view bytes) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const bool little = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool big = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (little || big) {
        // A trailing odd byte is half a code unit with nothing to say: it is dropped.
        std::u16string text;
        text.reserve((bytes.size() - 2) / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += little ? static_cast<char16_t>(byte(i) | (byte(i + 1) << 8))
                           : static_cast<char16_t>((byte(i) << 8) | byte(i + 1));
        return text;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        return FromUtf8(bytes.substr(3));
    return DecodeLegacyText(bytes);
}

std::vector<std::u16string> kini::SplitLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string kini::EncodeFileText(const std::vector<std::u16string>& lines) {
    size_t units = 0;
    for (const auto& line : lines) units += line.size() + 2;
    std::string bytes;
    bytes.reserve(2 + units * 2);
    bytes += '\xFF';
    bytes += '\xFE';
    auto put = [&](char16_t c) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    };
    for (const auto& line : lines) {
        for (char16_t c : line) put(c);
        put(u'\r');
        put(u'\n');
    }
    return bytes;
}

// A name is the text before a line's first "=", and names of different lengths never match,
// so a line can only hold the key's name when its "=" comes right after key.size() units;
// letter case folds "=" to nothing else, so the matching part holds no earlier "=". Looking
// there first spares a search for "=" through every line of the document on every read.
long kini::FindLine(std::u16string_view key) const {
    if (key.find(u'=') != std::u16string_view::npos) return -1;  // no name holds one
    const size_t length = key.size();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::u16string_view line = lines_[i];
        if (line.size() > length && line[length] == u'=' && TextEqualsNoCase(line.substr(0, length), key))
            return static_cast<long>(i);
    }
    return -1;
}

kvar& kini::Read(kvar key) {
    const long index = FindLine(key.AsText());
    kvar& result = Slot(1);
    if (index < 0) {
        result.SetText(u"");
    } else {
        const std::u16string_view line = lines_[static_cast<size_t>(index)];
        result.SetText(line.substr(line.find(u'=') + 1));
    }
    return result;
}

kvar& kini::Read(kvar key, kvar def) {
    kvar& result = Read(key);
    if (result.Length() == 0) result = def;
    return result;
}

void kini::Write(kvar key, kvar value) { WriteLine(key.AsString(), value.AsText()); }

void kini::WriteLine(std::u16string_view name, std::u16string_view value) {
    std::u16string line;
    line.reserve(name.size() + 1 + value.size());
    line += name;
    line += u'=';
    line += value;
    const long index = FindLine(name);
    if (index < 0) lines_.push_back(std::move(line));
    else lines_[static_cast<size_t>(index)] = std::move(line);
}

void kini::SplitFields(std::u16string_view value) {
    for (kvar& slot : slots_) slot.SetText(u"");
    int open = 0;
    size_t start = 0;
    for (size_t i = 0; i <= value.size(); ++i) {
        const bool stop = i == value.size();
        const int tag = (!stop && value[i] == u'\\' && i + 1 < value.size()) ? TagField(value[i + 1]) : 0;
        if (!stop && tag == 0) continue;
        if (open != 0 && i > start) Slot(open).SetText(value.substr(start, i - start));
        if (stop) break;
        open = tag;
        start = i + 2;
        ++i;  // the tag's second character
    }
}

// The splitting sets every slot anew, so the value is taken from its line as Read would
// give it (up to a code unit 0), without passing through slot 1 on the way.
void kini::ReadAndSplit(std::u16string_view key) {
    const long index = FindLine(key);
    std::u16string_view value;
    if (index >= 0) {
        const std::u16string_view line = lines_[static_cast<size_t>(index)];
        value = line.substr(line.find(u'=') + 1);
        value = value.substr(0, value.find(u'\0'));
    }
    SplitFields(value);
    for (int n : {5, 6}) {
        const std::u16string decoded = HexDecode(Slot(n).TextView());
        Slot(n).SetText(std::u16string_view(decoded));
    }
}

kvar& kini::ReadField(int n, kvar key) {
    ReadAndSplit(key.AsText());
    if (n >= 1 && n <= kFieldCount) return Slot(n);
    Slot(1).SetText(u"");
    return Slot(1);
}

void kini::WriteField(int n, kvar key, kvar value) {
    const std::u16string name = key.AsString();
    ReadAndSplit(name);
    if (n >= 1 && n <= kFieldCount) Slot(n).SetText(value.AsText());
    std::u16string joined;
    for (int k = 1; k <= kFieldCount; ++k) {
        const std::u16string_view text = Slot(k).TextView();
        if (text.empty()) continue;
        joined += u'\\';
        joined += TagChar(k);
        if (k == 5 || k == 6) joined += HexEncode(text);
        else joined += text;
    }
    WriteLine(name, joined);  // no slot holds a code unit 0, so neither does joined
}

std::u16string kini::HexEncode(std::u16string_view text) {
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string out;
    out.reserve(text.size() * 4);
    for (char16_t c : text) {
        for (unsigned byte : {c & 0xFFu, (c >> 8) & 0xFFu}) {
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        }
    }
    return out;
}

std::u16string kini::HexDecode(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() / 4 + 1);
    int low = -1;  // the pending low byte of a code unit
    for (size_t i = 0; i < text.size(); i += 2) {
        const unsigned char byte = PairByte(text.substr(i, 2));
        if (low < 0) {
            low = byte;
            continue;
        }
        const char16_t unit = static_cast<char16_t>(low | (byte << 8));
        if (unit == 0) return out;
        out += unit;
        low = -1;
    }
    if (low > 0) out += static_cast<char16_t>(low);
    return out;
}

}  // namespace movrek
