#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/TextFile.h"
#include "platform/Utf.h"
#include "storage/Kini.h"
#include "support/Bytes.h"
#include "support/Files.h"

using movrek::FileError;
using movrek::kini;
using movrek::kvar;
namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;
using movrek::test::ReadBytes;
using movrek::test::Utf16Le;
using movrek::test::WriteBytes;

namespace {

std::u16string Text(const kvar& v) { return std::u16string(v.TextView()); }

// A fresh temporary folder for each test.
struct TempFolder : movrek::test::TempFolder {
    TempFolder() : movrek::test::TempFolder("movrek-kini-") {}
};

// Loads a document from a file holding exactly bytes.
kini LoadBytes(const TempFolder& folder, const std::string& bytes) {
    WriteBytes(folder.Path("in.ini"), bytes);
    kini doc;
    EXPECT_TRUE(doc.Load(folder.File("in.ini")));
    return doc;
}

kini WithLines(const TempFolder& folder, std::u16string_view text) {
    return LoadBytes(folder, movrek::test::Utf16File(text));
}

}  // namespace

// ---------------------------------------------------------------- names and plain values

TEST(Kini, NamesEndAtTheFirstEqualsSignAndMatchTheFirstLineWithoutRegardToCase) {
    TempFolder folder;
    kini doc = WithLines(folder, u"a=b=c\r\nno name here\r\nTop=1\r\ntop=2\r\n key=x\r\nＡＢ=wide\r\n");
    EXPECT_EQ(Text(doc.Read(u"a")), u"b=c");
    EXPECT_EQ(Text(doc.Read(u"TOP")), u"1");
    EXPECT_EQ(Text(doc.Read(u"key")), u"");  // the blank belongs to the name
    EXPECT_EQ(Text(doc.Read(u" key")), u"x");
    EXPECT_EQ(Text(doc.Read(u"ａｂ")), u"wide");
    EXPECT_EQ(Text(doc.Read(u"no name here")), u"");
    EXPECT_EQ(Text(doc.Read(u"a=b")), u"");  // no name holds an equals sign
    EXPECT_EQ(Text(doc.ReadField(1, u"a=b")), u"");
    EXPECT_TRUE(doc.Read(u"missing").IsText());

    doc.Write(u"tOP", 5);
    doc.Write(u"new", u"");
    EXPECT_EQ(doc.Lines(), (Lines{u"a=b=c", u"no name here", u"tOP=5", u"top=2", u" key=x",
                                  u"ＡＢ=wide", u"new="}));
}

TEST(Kini, ReadWithDefaultReplacesOnlyAnEmptyResultAndKeepsTheDefaultsKind) {
    TempFolder folder;
    kini doc = WithLines(folder, u"empty=\r\nzero=0\r\nblank= \r\n");
    kvar& result = doc.Read(u"empty", 7);
    EXPECT_TRUE(result.IsInteger());
    EXPECT_EQ(result.AsInt(), 7);
    EXPECT_EQ(&result, &doc.Slot(1));
    EXPECT_TRUE(doc.Read(u"missing", 7).IsInteger());

    kvar& zero = doc.Read(u"zero", 7);
    EXPECT_TRUE(zero.IsText());
    EXPECT_EQ(Text(zero), u"0");
    EXPECT_EQ(Text(doc.Read(u"blank", u"Tahoma")), u" ");
    EXPECT_EQ(Text(doc.Read(u"missing", u"Tahoma")), u"Tahoma");
    // A default that is the result slot itself is the text it held before the read.
    EXPECT_EQ(Text(doc.Read(u"empty", doc.Read(u"zero"))), u"0");
}

// ---------------------------------------------------------------- multi-field values

TEST(Kini, SplitFieldsFollowsTheTags) {
    kini doc;
    auto fields = [&](std::u16string_view value) {
        doc.SplitFields(value);
        std::vector<std::u16string> all;
        for (int n = 1; n <= kini::kFieldCount; ++n) all.push_back(Text(doc.Slot(n)));
        return all;
    };
    auto only = [](std::initializer_list<std::pair<int, std::u16string>> set) {
        std::vector<std::u16string> all(kini::kFieldCount);
        for (const auto& [n, text] : set) all[n - 1] = text;
        return all;
    };
    EXPECT_EQ(fields(u"\\1ab\\3cd"), only({{1, u"ab"}, {3, u"cd"}}));
    EXPECT_EQ(fields(u"\\1ab\\1cd"), only({{1, u"cd"}}));
    EXPECT_EQ(fields(u"\\1ab\\1"), only({{1, u"ab"}}));
    EXPECT_EQ(fields(u"junk\\2x"), only({{2, u"x"}}));
    EXPECT_EQ(fields(u"\\0abc"), only({}));
    EXPECT_EQ(fields(u"\\Fend\\Aten"), only({{15, u"end"}, {10, u"ten"}}));
    EXPECT_EQ(fields(u"\\9nine\\Aten"), only({{9, u"nine"}, {10, u"ten"}}));
    // Not tags: backslash with 0, a lower-case letter, another backslash, or at the end, and
    // the characters on either side of "1"-"9" and "A"-"F".
    EXPECT_EQ(fields(u"\\2a\\0\\b\\\\c\\"), only({{2, u"a\\0\\b\\\\c\\"}}));
    EXPECT_EQ(fields(u"\\3a\\:\\@\\G"), only({{3, u"a\\:\\@\\G"}}));
    EXPECT_EQ(fields(u""), only({}));
    for (int n = 1; n <= kini::kFieldCount; ++n) EXPECT_TRUE(doc.Slot(n).IsText());
}

TEST(Kini, WriteFieldRewritesTheLineInFieldOrder) {
    TempFolder folder;
    kini doc = WithLines(folder, u"key=\\1x\\3y\r\nother=\\3c\\1a\\7\r\n");
    doc.WriteField(1, u"key", 9);
    EXPECT_EQ(doc.Lines()[0], u"key=\\19\\3y");
    doc.WriteField(0, u"other", 4);  // no field changes; the value becomes canonical
    EXPECT_EQ(doc.Lines()[1], u"other=\\1a\\3c");
    doc.WriteField(2, u"new", 5);
    EXPECT_EQ(doc.Lines().back(), u"new=\\25");
    doc.WriteField(3, u"new", u"");  // an empty field is not written
    EXPECT_EQ(doc.Lines().back(), u"new=\\25");

    EXPECT_EQ(Text(doc.ReadField(3, u"key")), u"y");
    EXPECT_EQ(Text(doc.ReadField(4, u"key")), u"");
    EXPECT_EQ(Text(doc.ReadField(16, u"key")), u"");
    EXPECT_EQ(Text(doc.ReadField(0, u"key")), u"");
    EXPECT_EQ(doc.ReadField(2, u"missing").AsInt(), 0);
    // A value ends at a code unit 0, as Read gives it: the fields after one are not there.
    kini nul = WithLines(folder, std::u16string_view(u"nul=\\1a\0\\2b\r\n", 13));
    ASSERT_EQ(nul.Lines().at(0).size(), 11u);
    EXPECT_EQ(Text(nul.ReadField(1, u"nul")), u"a");
    EXPECT_EQ(Text(nul.ReadField(2, u"nul")), u"");
    nul.WriteField(3, u"nul", u"c");
    EXPECT_EQ(nul.Lines().at(0), u"nul=\\1a\\3c");

    // The settings file's alarm-row form, built field by field.
    kini rows;
    for (auto [field, value] : {std::pair{1, 0}, {2, 7}, {3, 30}, {4, 0}, {7, 3}})
        rows.WriteField(field, u"B0", value);
    EXPECT_EQ(rows.Lines(), (Lines{u"B0=\\10\\27\\330\\40\\73"}));
    // A value that is one of the slots the call splits into is the text it held before.
    rows.Write(u"n", 8);
    rows.WriteField(2, u"B0", rows.Read(u"n"));
    EXPECT_EQ(rows.Lines().at(0), u"B0=\\10\\28\\330\\40\\73");
}

TEST(Kini, FieldsFiveAndSixAreStoredHexEncoded) {
    kini doc;
    doc.WriteField(5, u"k", u"A\\1時");
    doc.WriteField(6, u"k", u"x");
    doc.WriteField(2, u"k", u"p");
    EXPECT_EQ(doc.Lines()[0], u"k=\\2p\\541005c0031004266\\67800");
    EXPECT_EQ(Text(doc.ReadField(5, u"k")), u"A\\1時");
    EXPECT_EQ(Text(doc.ReadField(6, u"k")), u"x");
    EXPECT_EQ(Text(doc.ReadField(2, u"k")), u"p");
}

TEST(Kini, HexEncodingAndDecoding) {
    EXPECT_EQ(kini::HexEncode(u"A"), u"4100");
    EXPECT_EQ(kini::HexEncode(u"\u30FB\uFFFF"), u"fb30ffff");
    EXPECT_EQ(kini::HexEncode(u""), u"");
    EXPECT_EQ(kini::HexDecode(u"4100"), u"A");
    EXPECT_EQ(kini::HexDecode(u"41"), u"A");  // odd byte: high byte 0
    EXPECT_EQ(kini::HexDecode(u"FB30"), u"\u30FB");
    EXPECT_EQ(kini::HexDecode(u"410042"), u"AB");
    EXPECT_EQ(kini::HexDecode(u"4100000042004300"), u"A");  // code unit 0 ends the text
    EXPECT_EQ(kini::HexDecode(u"00"), u"");
    EXPECT_EQ(kini::HexDecode(u"410"), u"A");  // "0" alone as the last pair: byte 0
    EXPECT_EQ(kini::HexDecode(u"414"), u"\u0441");
    // Pairs read like a base-16 long: a stop at a non-digit, blanks, a sign.
    EXPECT_EQ(kini::HexDecode(u"4g00"), u"\u0004");
    EXPECT_EQ(kini::HexDecode(u"zz41"), u"\u4100");
    EXPECT_EQ(kini::HexDecode(u" 400"), u"\u0004");
    EXPECT_EQ(kini::HexDecode(u"-100"), u"\u00FF");
    EXPECT_EQ(kini::HexDecode(u""), u"");
    const std::u16string all = u"\u0001日本\xD800\uFFFE~\\";
    EXPECT_EQ(kini::HexDecode(kini::HexEncode(all)), all);
}

// ---------------------------------------------------------------- file form

TEST(Kini, SaveWritesUtf16LittleEndianWithCrLfAfterEveryLine) {
    TempFolder folder;
    kini doc;
    doc.Write(u"Movrek", u"0.3");
    doc.Write(u"TimeLabel", u"時報");
    doc.Write(u"Empty", u"");
    EXPECT_TRUE(doc.Save(folder.File("out.ini")));
    EXPECT_EQ(ReadBytes(folder.Path("out.ini")),
              "\xFF\xFE" + Utf16Le(u"Movrek=0.3\r\nTimeLabel=時報\r\nEmpty=\r\n"));

    kini empty;
    empty.Save(folder.File("empty.ini"));
    EXPECT_EQ(ReadBytes(folder.Path("empty.ini")), "\xFF\xFE");

    kini back;
    ASSERT_TRUE(back.Load(folder.File("out.ini")));
    EXPECT_EQ(back.Lines(), doc.Lines());
    EXPECT_EQ(folder.Names().size(), 2u);  // no temporary file left behind
}

TEST(Kini, LineEndsAreCrLfLoneCrOrLoneLf) {
    TempFolder folder;
    EXPECT_EQ(WithLines(folder, u"a\r\nb\rc\nd").Lines(), (Lines{u"a", u"b", u"c", u"d"}));
    EXPECT_EQ(WithLines(folder, u"a\r\n").Lines(), (Lines{u"a"}));
    EXPECT_EQ(WithLines(folder, u"\r\n\r\n").Lines(), (Lines{u"", u""}));
    EXPECT_EQ(WithLines(folder, u"a\n\rb").Lines(), (Lines{u"a", u"", u"b"}));
    EXPECT_EQ(WithLines(folder, u"\r").Lines(), (Lines{u""}));
    EXPECT_TRUE(LoadBytes(folder, "").Lines().empty());
    EXPECT_TRUE(LoadBytes(folder, "\xFF\xFE").Lines().empty());
    EXPECT_TRUE(LoadBytes(folder, "\xEF\xBB\xBF").Lines().empty());
}

TEST(Kini, LoadDetectsTheEncodingFromTheByteOrderMark) {
    TempFolder folder;
    const Lines expected{u"TimeLabel=時報", u"x=1"};
    EXPECT_EQ(LoadBytes(folder, "\xEF\xBB\xBF" "TimeLabel=\xE6\x99\x82\xE5\xA0\xB1\r\nx=1").Lines(),
              expected);
    std::string big = "\xFE\xFF";
    for (char16_t c : std::u16string(u"TimeLabel=時報\nx=1")) {
        big += static_cast<char>(c >> 8);
        big += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(LoadBytes(folder, big).Lines(), expected);
    // Without a mark: the legacy code page, which agrees with ASCII everywhere.
    EXPECT_EQ(LoadBytes(folder, "Movrek=0.3\r\nTop=5\r\n").Lines(), (Lines{u"Movrek=0.3", u"Top=5"}));
#ifndef _WIN32
    // Natively the legacy code page is 932 (Shift-JIS bytes of 時報, then a broken lead byte).
    EXPECT_EQ(LoadBytes(folder, "TimeLabel=\x8E\x9E\x95\xF1\r\nbad=\x81").Lines(),
              (Lines{u"TimeLabel=時報", u"bad=\uFFFD"}));
#endif
}

TEST(Kini, DamagedFilesLoadToDefinedLinesAndSaveBackUnchanged) {
    TempFolder folder;
    // An odd byte count in UTF-16: the half code unit is dropped.
    EXPECT_EQ(LoadBytes(folder, "\xFF\xFE" + Utf16Le(u"a=1") + "\x41").Lines(), (Lines{u"a=1"}));
    EXPECT_EQ(LoadBytes(folder, "\xFE\xFF\x00").Lines(), Lines{});
    // Truncated UTF-8 becomes a replacement character.
    EXPECT_EQ(LoadBytes(folder, "\xEF\xBB\xBFk=\xE6\x99").Lines(), (Lines{u"k=\uFFFD"}));

    // Lone surrogates and NUL code units survive a load and a save unchanged.
    const std::u16string odd = std::u16string(u"s=\xD800x\xDC00") + char16_t(0) + u"z";
    const std::string bytes = "\xFF\xFE" + Utf16Le(odd) + Utf16Le(u"\r\n");
    kini doc = LoadBytes(folder, bytes);
    ASSERT_EQ(doc.Lines().size(), 1u);
    EXPECT_EQ(doc.Lines()[0], odd);
    EXPECT_EQ(Text(doc.Read(u"s")), u"\xD800x\xDC00");  // a value ends at a code unit 0
    doc.Save(folder.File("in.ini"));
    EXPECT_EQ(ReadBytes(folder.Path("in.ini")), bytes);

    // NUL bytes in a legacy file are ordinary characters.
    EXPECT_EQ(LoadBytes(folder, std::string("a\0b\nc", 5)).Lines(),
              (Lines{std::u16string(u"a\0b", 3), u"c"}));
}

TEST(Kini, VeryLongLinesLoadAndSave) {
    TempFolder folder;
    const std::u16string value(1 << 20, u'x');
    kini doc;
    doc.Write(u"long", value);
    doc.WriteField(7, u"fields", value);
    doc.Save(folder.File("long.ini"));
    kini back;
    ASSERT_TRUE(back.Load(folder.File("long.ini")));
    EXPECT_EQ(back.Read(u"long").Length(), 1 << 20);
    EXPECT_EQ(back.ReadField(7, u"fields").Length(), 1 << 20);
    EXPECT_EQ(back.Lines(), doc.Lines());
}

// ---------------------------------------------------------------- failures

TEST(Kini, LoadOfAMissingFileChangesNothing) {
    TempFolder folder;
    kini doc = WithLines(folder, u"a=1\r\n");
    EXPECT_FALSE(doc.Load(folder.File("missing.ini")));
    EXPECT_FALSE(doc.Load(folder.File("no folder/missing.ini")));
    fs::create_directory(folder.Path("folder.ini"));
    EXPECT_FALSE(doc.Load(folder.File("folder.ini")));  // a folder is not a file
    EXPECT_EQ(doc.Lines(), (Lines{u"a=1"}));
}

TEST(Kini, AFailedSaveRaisesTheErrorAndLeavesNoTraces) {
    TempFolder folder;
    kini doc;
    doc.Write(u"a", 1);

    // The target is a folder: the swap fails and the folder stays as it was.
    fs::create_directory(folder.Path("target.ini"));
    WriteBytes(folder.Path("target.ini") / "inside", "keep");
    try {
        doc.Save(folder.File("target.ini"));
        ADD_FAILURE() << "saving over a folder succeeded";
    } catch (const FileError& error) {
        EXPECT_FALSE(error.Message().empty());
        EXPECT_NE(error.Code(), 0);
    }
    EXPECT_TRUE(fs::is_directory(folder.Path("target.ini")));
    EXPECT_EQ(ReadBytes(folder.Path("target.ini") / "inside"), "keep");

    // The folder does not exist: the temporary file cannot even be made.
    EXPECT_THROW(doc.Save(folder.File("no folder/x.ini")), FileError);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"target.ini"});

    // Saving over an existing file replaces it.
    WriteBytes(folder.Path("old.ini"), "old contents");
    doc.Save(folder.File("old.ini"));
    EXPECT_EQ(ReadBytes(folder.Path("old.ini")), "\xFF\xFE" + Utf16Le(u"a=1\r\n"));
    EXPECT_EQ(folder.Names().size(), 2u);
}

#ifndef _WIN32
TEST(Kini, AFileThatExistsButCannotBeReadRaisesTheErrorWithTheLinesUnchanged) {
    TempFolder folder;
    kini doc = WithLines(folder, u"a=1\r\n");
    // A regular file whose reading fails even for the superuser.
    EXPECT_THROW(doc.Load(kvar(u"/proc/self/mem")), FileError);
    EXPECT_EQ(doc.Lines(), (Lines{u"a=1"}));
}
#endif

TEST(Kini, ScratchFilesOfASaveAreToldApartFromOtherNames) {
    using movrek::ScratchOwner;
    EXPECT_EQ(ScratchOwner(u"movrek.ini", u"movrek.ini.1234-5.tmp"), 1234ul);
    EXPECT_EQ(ScratchOwner(u"movrek.ini", u"MOVREK.INI.4294967295-1.tmp"), 4294967295ul);
    for (const char16_t* other : {u"movrek.ini", u"movrek.ini.tmp", u"movrek.ini.1234.tmp",
                                  u"movrek.ini.-5.tmp", u"movrek.ini.12-.tmp", u"movrek.ini.1x-5.tmp",
                                  u"movrek.ini.12-5x.tmp", u"movrek.ini.1-2-3.tmp", u"movrek.ini.12-5.TMP.bak",
                                  u"movrek.ini.4294967296-1.tmp", u"amovrek.ini.1-1.tmp", u"movrek.inix1-1.tmp"})
        EXPECT_FALSE(ScratchOwner(u"movrek.ini", other).has_value()) << movrek::ToUtf8(other);
}
