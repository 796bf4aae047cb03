// The manifest inside the shipped movrek.exe, read back as Windows reads it: resource type
// RT_MANIFEST, id 1. What it declares decides how Windows scales, elevates and treats the
// program, none of which Wine shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::string ShippedManifest() {
    std::wstring path;
    for (const char* c = MOVREK_DIST_EXE; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!exe) return {};
    std::string text;
    if (HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        const DWORD size = SizeofResource(exe, found);
        if (HGLOBAL loaded = LoadResource(exe, found)) {
            if (const void* bytes = LockResource(loaded)) text.assign(static_cast<const char*>(bytes), size);
        }
    }
    FreeLibrary(exe);
    return text;
}

// The element's open tag, its text and the namespace it is in (its own xmlns, else that of
// the windowsSettings around it); empty tag when it is missing.
struct Element {
    std::string tag, text, ns;
};

std::string Attribute(const std::string& tag, const std::string& name) {
    const size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return {};
    const size_t begin = at + name.size() + 3;
    return tag.substr(begin, tag.find('"', begin) - begin);
}

Element Find(const std::string& xml, const std::string& name) {
    Element e;
    size_t at = xml.find("<" + name + " ");
    if (at == std::string::npos) at = xml.find("<" + name + ">");
    if (at == std::string::npos) return e;
    const size_t close = xml.find('>', at);
    e.tag = xml.substr(at, close - at + 1);
    const size_t end = xml.find("</" + name + ">", close);
    if (end != std::string::npos) e.text = xml.substr(close + 1, end - close - 1);
    e.ns = Attribute(e.tag, "xmlns");
    if (e.ns.empty()) {
        const size_t settings = xml.rfind("<windowsSettings", at);
        if (settings != std::string::npos) e.ns = Attribute(xml.substr(settings, xml.find('>', settings) - settings), "xmlns");
    }
    return e;
}

TEST(ManifestWin, DeclaresScalingElevationAndTheSupportedWindows) {
    const std::string xml = ShippedManifest();
    ASSERT_FALSE(xml.empty()) << "no RT_MANIFEST 1 in " << MOVREK_DIST_EXE;

    // Fixed 96-DPI layout: DPI-unaware, with GDI drawing text and lines at the screen's
    // resolution (Windows 10 1703 and later) instead of a stretched, blurred bitmap.
    const Element dpiAware = Find(xml, "dpiAware");
    EXPECT_EQ(dpiAware.ns, "http://schemas.microsoft.com/SMI/2005/WindowsSettings");
    EXPECT_EQ(dpiAware.text, "false");
    const Element dpiAwareness = Find(xml, "dpiAwareness");  // overrides dpiAware from 1607 on
    EXPECT_EQ(dpiAwareness.ns, "http://schemas.microsoft.com/SMI/2016/WindowsSettings");
    EXPECT_EQ(dpiAwareness.text, "unaware");
    const Element gdiScaling = Find(xml, "gdiScaling");
    EXPECT_EQ(gdiScaling.ns, "http://schemas.microsoft.com/SMI/2017/WindowsSettings");
    EXPECT_EQ(gdiScaling.text, "true");
    EXPECT_NE(Find(xml, "application").tag.find("urn:schemas-microsoft-com:asm.v3"), std::string::npos);

    // Runs as the user who started it, never asks for elevation.
    EXPECT_EQ(Find(xml, "trustInfo").ns, "urn:schemas-microsoft-com:asm.v3");
    const Element level = Find(xml, "requestedExecutionLevel");
    EXPECT_EQ(Attribute(level.tag, "level"), "asInvoker");
    EXPECT_EQ(Attribute(level.tag, "uiAccess"), "false");

    // Windows 10 and 11 share one id; without it Windows 10 treats the program as one for 8.
    EXPECT_NE(xml.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos);
    // Common controls 6, for the visual styles.
    EXPECT_NE(xml.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // Files without a byte-order mark are read in the ANSI code page: no UTF-8 code page.
    EXPECT_EQ(xml.find("<activeCodePage"), std::string::npos);
}

}  // namespace
