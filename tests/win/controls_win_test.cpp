#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ui/Controls.h"

namespace movrek {
namespace {

class Host : public ui::Window {
public:
    Host() {
        ui::WindowArgs a;
        a.className = L"MovrekControlsTestHost";
        a.style = WS_POPUP;
        a.width = 400;
        a.height = 60;
        CreateWindowFrom(a);
    }
};

int TextWidth(HFONT font, const std::wstring& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// A self-sizing label is as wide as its text after every change: a running count's digits,
// a text of another length or with other characters, and a font with other digit widths.
// (The fonts here all have digits of one width; a font whose digits differ is measured for
// every new text, which these fonts cannot show.)
TEST(LabelWin, IsAsWideAsEveryTextItShowsInEveryFont) {
    Host host;
    ASSERT_TRUE(host.Handle());
    ui::Label label;
    ui::LabelArgs a;
    a.text = L"00:00:00";
    ASSERT_TRUE(label.Create(host, a));

    const std::vector<std::wstring> texts = {L"00:00:00", L"11:11:11", L"01:47:58", L"11:11:11",
                                             L"00:00",    L"作業 00:00", L"作業 11:11", L"00:00:00"};
    for (const wchar_t* face : {L"Tahoma", L"MS UI Gothic", L"Liberation Serif", L"DejaVu Sans"}) {
        ui::Font font = ui::MakeFont(face, -16);
        ASSERT_TRUE(font) << face;
        label.SetFont(font.Get());
        for (const std::wstring& t : texts) {
            label.SetText(std::u16string(t.begin(), t.end()));
            EXPECT_EQ(label.Width(), TextWidth(font.Get(), t)) << face << " " << t.size();
        }
        label.SetFont(nullptr);
    }
}

}  // namespace
}  // namespace movrek
