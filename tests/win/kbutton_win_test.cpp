#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "controls/BarGlyphs.h"
#include "controls/Bitmap_win.h"
#include "controls/Kbutton_win.h"
#include "support/SourcePath.h"

namespace movrek {
namespace {

using test::SourcePath;

// Runs the thread's messages until cond holds or the deadline passes.
template <typename Cond>
bool PumpUntil(Cond cond, int timeoutMs = 3000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (cond()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpPending() {
    PumpUntil([] { return true; }, 0);
}

// A plain top-level window to hold the buttons; it records the commands it receives.
class HostWindow {
public:
    HostWindow(int x, int y, int w, int h) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &HostWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KButtonTestHost";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc);
        // Never activated: under Wine without a window manager, hiding or destroying the
        // active window waits two seconds for a focus change that never comes.
        hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"KButtonTestHost", L"host",
                               WS_POPUP, x, y, w, h, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        PumpPending();
    }
    ~HostWindow() {
        if (hwnd) DestroyWindow(hwnd);
    }
    HWND hwnd = nullptr;
    std::vector<int> commands;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && m == WM_COMMAND) {
            self->commands.push_back(LOWORD(w));
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }
};

Bitmap CaptureClient(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    DibBitmap dib(r.right, r.bottom);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Dc()), PRF_CLIENT);
    GdiFlush();
    Bitmap out;
    out.Assign(dib);
    return out;
}

// Pixels that differ, as "x,y" texts (at most a few), for readable failures.
std::vector<std::string> Differences(const Bitmap& a, const Bitmap& b) {
    std::vector<std::string> out;
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        out.push_back("sizes differ");
        return out;
    }
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y) && out.size() < 5)
                out.push_back(std::to_string(x) + "," + std::to_string(y));
    return out;
}

int CountColour(const Bitmap& b, Color c) {
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) n += b.Pixel(x, y) == c;
    return n;
}

LPARAM At(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)),
                      static_cast<WORD>(static_cast<short>(y)));
}

TEST(BarGlyphs, BmpFilesAndResourcesMatchThePixelTables) {
    const std::pair<int, const char*> files[] = {{kGlyphHelp, "resources/bar_help.bmp"},
                                                 {kGlyphClose, "resources/bar_close.bmp"},
                                                 {kGlyphIdle, "resources/bar_idle.bmp"},
                                                 {kGlyphFinished, "resources/bar_finished.bmp"}};
    for (auto [id, file] : files) {
        SCOPED_TRACE(file);
        const Bitmap expected = BarGlyphBitmap(id);
        ASSERT_EQ(expected.Width(), 12);
        ASSERT_EQ(expected.Height(), 11);
        Bitmap fromFile;
        ASSERT_TRUE(LoadBitmapFile(SourcePath(file), fromFile));
        EXPECT_TRUE(Differences(fromFile, expected).empty());
        Bitmap fromResource;
        ASSERT_TRUE(LoadBitmapResource(GetModuleHandleW(nullptr), id, fromResource));
        EXPECT_TRUE(Differences(fromResource, expected).empty());
        EXPECT_EQ(expected.Pixel(0, 10), kBarGlyphBackground);  // the left-out colour
    }
    // Spot checks against the described pictures.
    EXPECT_EQ(BarGlyphBitmap(kGlyphIdle).Pixel(2, 1), Rgb(0, 255, 0));
    EXPECT_EQ(BarGlyphBitmap(kGlyphIdle).Pixel(9, 8), Rgb(0, 255, 0));
    EXPECT_EQ(BarGlyphBitmap(kGlyphIdle).Pixel(10, 8), kBarGlyphBackground);
    EXPECT_EQ(BarGlyphBitmap(kGlyphFinished).Pixel(5, 5), Rgb(255, 0, 0));
    EXPECT_TRUE(BarGlyphBitmap(999).Empty());
}

TEST(DibBitmap, PortableRoutinesRunOnADibSection) {
    DibBitmap dib(5, 3);
    dib.FillRect(Rect{0, 0, 5, 3}, Rgb(10, 20, 30));
    dib.SetPixel(4, 2, Rgb(1, 2, 3));
    // GDI sees what the portable code wrote, in the same layout.
    EXPECT_EQ(GetPixel(dib.Dc(), 0, 0), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dib.Dc(), 4, 2), RGB(1, 2, 3));
    // And the portable code sees what GDI drew.
    GdiCanvas canvas(dib.Dc());
    canvas.FrameRect(Rect{0, 0, 5, 3}, Rgb(200, 0, 0));
    GdiFlush();
    EXPECT_EQ(dib.Pixel(4, 2), Rgb(200, 0, 0));
    EXPECT_EQ(dib.Pixel(2, 1), Rgb(10, 20, 30));
    dib.SetSize(7, 2);
    EXPECT_EQ(GetPixel(dib.Dc(), 6, 1), RGB(0, 0, 0));
}

TEST(DibBitmap, PanelFrameOnADeviceContextMatchesTheBitmapOne) {
    DibBitmap dib(9, 6);
    GdiCanvas canvas(dib.Dc());
    DrawPanelFrame(canvas, 9, 6, Rgb(0, 78, 152));
    GdiFlush();
    Bitmap portable(9, 6);
    DrawPanelFrame(portable, 9, 6, Rgb(0, 78, 152));
    EXPECT_TRUE(Differences(dib, portable).empty());
}

struct ControlFixture : ::testing::Test {
    HostWindow host{100, 100, 200, 80};
    std::unique_ptr<TKButtonWindow> control;
    GdiTextRenderer referenceText;
    std::unique_ptr<TKButton> reference;

    void SetUp() override {
        TKButtonCreate args;
        args.parent = host.hwnd;
        args.left = 10;
        args.top = 8;
        args.width = 80;
        args.height = 22;
        control = std::make_unique<TKButtonWindow>(args);
        control->SetFont(u"MS UI Gothic", 9);
        referenceText.SetFont(control->Font());
        reference = std::make_unique<TKButton>(referenceText);
        reference->SetBounds(10, 8, 80, 22);
        reference->SetParentColor(GetSysColor(COLOR_BTNFACE));
        PumpPending();
    }
    // The same properties on both.
    template <typename F>
    void Both(F f) {
        f(control->Button());
        f(*reference);
    }
    void ExpectSameRendering(const char* what) {
        SCOPED_TRACE(what);
        const Bitmap shown = CaptureClient(control->Hwnd());
        const Bitmap& expected = reference->Paint();
        const auto diff = Differences(shown, expected);
        EXPECT_TRUE(diff.empty()) << (diff.empty() ? "" : diff.front());
    }
};

TEST_F(ControlFixture, RendersEveryLookLikeThePortableCode) {
    Both([](TKButton& b) {
        b.SetStyle(ysSingle);
        b.SetEnter(yeShade);
        b.SetCaption(u"開始 AB");
        b.SetFaceColor(Rgb(216, 233, 236));
        b.SetGlyph(BarGlyphBitmap(kGlyphIdle));
    });
    control->SetCaption(u"開始 AB");  // through the window text as well
    ExpectSameRendering("normal");
    EXPECT_GT(CountColour(CaptureClient(control->Hwnd()), Rgb(0, 255, 0)), 50);  // the glyph
    EXPECT_GT(CountColour(CaptureClient(control->Hwnd()), Rgb(0, 0, 0)), 5);     // the text

    SendMessageW(control->Hwnd(), WM_MOUSEMOVE, 0, At(5, 5));
    reference->MouseEnter();
    ASSERT_EQ(control->Button().State(), TKButtonState::Entered);
    ExpectSameRendering("entered");

    SendMessageW(control->Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    reference->MouseDown(MouseArgs{MouseButton::Left, 0, 5, 5});
    ASSERT_EQ(control->Button().State(), TKButtonState::Down);
    ExpectSameRendering("down");
    SendMessageW(control->Hwnd(), WM_LBUTTONUP, 0, At(5, 5));

    control->SetEnabled(false);
    reference->SetEnabled(false);
    ExpectSameRendering("disabled");
    EXPECT_TRUE(IsWindowEnabled(control->Hwnd()));  // pointer input keeps arriving

    // What reaches the screen is the same picture, with nothing erased beneath it.
    HDC dc = GetDC(control->Hwnd());
    EXPECT_EQ(SendMessageW(control->Hwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    ReleaseDC(control->Hwnd(), dc);
    RedrawWindow(control->Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    DibBitmap screen(80, 22);
    dc = GetDC(control->Hwnd());
    BitBlt(screen.Dc(), 0, 0, 80, 22, dc, 0, 0, SRCCOPY);
    ReleaseDC(control->Hwnd(), dc);
    GdiFlush();
    const auto diff = Differences(screen, reference->Paint());
    EXPECT_TRUE(diff.empty()) << (diff.empty() ? "" : diff.front());
}

TEST_F(ControlFixture, TransparentFaceShowsTheParentsPictureAtItsPlace) {
    Bitmap under(200, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x) under.SetPixel(x, y, Rgb(x, y * 3, 90));
    Both([&](TKButton& b) {
        b.SetTransparent(true);
        b.SetUnderGlyph(&under);
        b.SetStyle(ysFlat);
    });
    control->SetBounds(30, 20, 80, 22);
    reference->SetBounds(30, 20, 80, 22);
    EXPECT_EQ(control->Button().Left(), 30);
    EXPECT_EQ(control->Button().Top(), 20);
    ExpectSameRendering("transparent");
    EXPECT_EQ(CaptureClient(control->Hwnd()).Pixel(4, 4), Rgb(34, 72, 90));
}

TEST_F(ControlFixture, PostedClicksClickOnceAndPressDragOutReleaseClicksOnce) {
    std::vector<std::string> events;
    TKButton& b = control->Button();
    b.OnClick = [&](TKButton&) { events.push_back("click"); };
    b.OnMouseEnter = [&](TKButton&) { events.push_back("enter"); };
    b.OnMouseLeave = [&](TKButton&) { events.push_back("leave"); };
    b.OnMouseDown = [&](TKButton&, const MouseArgs&) { events.push_back("down"); };
    b.OnMouseUp = [&](TKButton&, const MouseArgs&) { events.push_back("up"); };
    HWND h = control->Hwnd();

    PostMessageW(h, WM_MOUSEMOVE, 0, At(5, 5));
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PostMessageW(h, WM_LBUTTONUP, 0, At(6, 5));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 4; }));
    PumpPending();
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "down", "click", "up"}));
    EXPECT_NE(GetFocus(), h);  // the button takes no focus
    EXPECT_EQ(GetCapture(), nullptr);

    events.clear();
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PostMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, At(-20, 40));
    PostMessageW(h, WM_LBUTTONUP, 0, At(-20, 40));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 4; }));
    PumpPending();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "leave", "up", "click"}));
    EXPECT_EQ(b.State(), TKButtonState::Normal);

    // Disabled: the press and release are reported, nothing clicks.
    control->SetEnabled(false);
    events.clear();
    PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    PostMessageW(h, WM_LBUTTONUP, 0, At(5, 5));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
    PumpPending();
    EXPECT_EQ(events, (std::vector<std::string>{"down", "up"}));
}

TEST_F(ControlFixture, RealPointerClickThroughSendInput) {
    int clicks = 0;
    control->Button().OnClick = [&](TKButton&) { ++clicks; };
    POINT pt{20, 10};
    ClientToScreen(control->Hwnd(), &pt);
    SetCursorPos(pt.x, pt.y);
    ASSERT_TRUE(PumpUntil([&] { return control->Button().State() == TKButtonState::Entered; }))
        << "the pointer did not reach the button";
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
    ASSERT_TRUE(PumpUntil([&] { return clicks >= 1; }));
    PumpPending();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(control->Button().State(), TKButtonState::Entered);
    // Leaving the button by moving the pointer away.
    SetCursorPos(pt.x + 300, pt.y + 300);
    EXPECT_TRUE(PumpUntil([&] { return control->Button().State() == TKButtonState::Normal; }));
}

TEST_F(ControlFixture, RightClickRaisesDownAndUpAndShowsThePopupMenu) {
    std::vector<std::string> events;
    TKButton& b = control->Button();
    b.OnClick = [&](TKButton&) { events.push_back("click"); };
    b.OnMouseDown = [&](TKButton&, const MouseArgs& a) {
        events.push_back(a.button == MouseButton::Right ? "rdown" : "down");
    };
    b.OnMouseUp = [&](TKButton&, const MouseArgs& a) {
        events.push_back(a.button == MouseButton::Right ? "rup" : "up");
    };
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 42, L"item");
    control->SetPopupMenu(menu);
    // While the menu's own loop runs, a timer clicks its only item with the pointer; a later
    // one ends the menu in any case, so a menu that never shows cannot hang the test.
    const UINT_PTR chooser = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND menuWindow = FindWindowW(L"#32768", nullptr);
        if (!menuWindow || !IsWindowVisible(menuWindow)) return;
        KillTimer(nullptr, id);
        RECT r;
        GetWindowRect(menuWindow, &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_MOUSE;
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(2, in, sizeof(INPUT));
    });
    const UINT_PTR stopper = SetTimer(nullptr, 0, 2500, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    });
    PostMessageW(control->Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
    PostMessageW(control->Hwnd(), WM_RBUTTONUP, 0, At(5, 5));
    EXPECT_TRUE(PumpUntil([&] { return !host.commands.empty(); }));
    KillTimer(nullptr, chooser);
    KillTimer(nullptr, stopper);
    EXPECT_EQ(host.commands, std::vector<int>{42});
    EXPECT_EQ(events, (std::vector<std::string>{"rdown", "rup"}));
    EXPECT_NE(b.State(), TKButtonState::Down);
    control->SetPopupMenu(nullptr);
    DestroyMenu(menu);
}

// The gear button runs on the same model, with its own look, class and click rule.
TEST_F(ControlFixture, PictureButtonIsFlatUntilHoveredSunkenForThePressAndClicksOnlyInside) {
    PictureButton gear;
    PictureButtonArgs a;
    a.place = {120, 40, 23, 22};
    a.id = 1002;
    a.faceColor = RGB(200, 210, 220);
    a.hint = L"オプション";
    ASSERT_TRUE(gear.Create(host.hwnd, a));
    const HWND h = gear.Handle();
    wchar_t cls[64]{};
    GetClassNameW(h, cls, 64);
    EXPECT_STREQ(cls, L"MovrekPictureButton");  // not one of the bar's TKButtons
    const Color face = Rgb(200, 210, 220);
    const auto corner = [&] { return CaptureClient(h).Pixel(0, 0); };
    EXPECT_EQ(CountColour(CaptureClient(h), face), 23 * 22);

    SendMessageW(h, WM_MOUSEMOVE, 0, At(5, 5));
    EXPECT_EQ(corner(), GetSysColor(COLOR_BTNHIGHLIGHT));
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(corner(), GetSysColor(COLOR_BTNSHADOW));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, At(-20, 40));
    EXPECT_EQ(corner(), GetSysColor(COLOR_BTNSHADOW));  // sunken for the whole press
    SendMessageW(h, WM_LBUTTONUP, 0, At(-20, 40));
    EXPECT_EQ(corner(), face);
    EXPECT_TRUE(host.commands.empty());  // released away from it: no click

    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(h, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(host.commands, std::vector<int>{1002});
}

TEST_F(ControlFixture, GlyphFromResourceAndDestructionWithTheParent) {
    EXPECT_TRUE(control->SetGlyphResource(GetModuleHandleW(nullptr), kGlyphFinished));
    EXPECT_TRUE(Differences(control->Button().Glyph(), BarGlyphBitmap(kGlyphFinished)).empty());
    EXPECT_FALSE(control->SetGlyphResource(GetModuleHandleW(nullptr), 4711));
    EXPECT_EQ(SendMessageW(control->Hwnd(), WM_GETFONT, 0, 0),
              reinterpret_cast<LRESULT>(control->Font()));

    // The parent destroys its children; the control object then outlives its window.
    DestroyWindow(host.hwnd);
    host.hwnd = nullptr;
    EXPECT_EQ(control->Hwnd(), nullptr);
    control->Button().SetCaption(u"after");  // a repaint request without a window
    control.reset();
}

}  // namespace
}  // namespace movrek
