#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/Foption_win.h"
#include "support/Accessible_win.h"

namespace movrek {
namespace {

using P = OptionPart;

class FakeHost : public OptionsHost, public SwatchColors {
public:
    OptionValues stored;
    std::optional<std::uint32_t> chosen;  // what the chooser returns; none: the user cancels
    std::vector<std::uint32_t> presets;    // colours the chooser was opened with
    HWND chooserOwner = nullptr;
    std::vector<std::string> calls;

    OptionValues ReadOptions() override { return stored; }
    void WriteOptions(const OptionValues& v) override {
        stored = v;
        calls.push_back("write");
    }
    void ReapplySettings() override { calls.push_back("reapply"); }
    bool Choose(HWND owner, COLORREF& c) override {
        chooserOwner = owner;
        presets.push_back(c);
        if (!chosen) return false;
        c = *chosen;
        return true;
    }
    void Talk(std::u16string_view name) override {
        calls.push_back("talk " + std::string(name.begin(), name.end()));
    }
    void SetAlarmVolume(int v) override { calls.push_back("alarm " + std::to_string(v)); }
    void SetVoiceVolume(int v) override { calls.push_back("voice " + std::to_string(v)); }
};

// Runs steps inside the dialog's own message loop: each step is a posted message to a
// message-only window, so it comes after everything posted before it. A thread timer closes a
// dialog that never ends, so a fault fails the test instead of hanging it.
class Steps {
public:
    Steps() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Steps::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"FoptionTestSteps";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Steps() { DestroyWindow(hwnd_); }
    void Then(std::function<void()> f) {
        queue_.push_back(std::move(f));
        PostMessageW(hwnd_, WM_APP, 0, 0);
    }
    static void Watchdog(HWND dialog) {
        watched_ = dialog;
        timedOut_ = false;
        timer_ = SetTimer(nullptr, 0, 20000, &Steps::OnTimeout);
    }
    static bool StopWatchdog() {
        KillTimer(nullptr, timer_);
        return !timedOut_;
    }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<Steps*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (m == WM_APP && self && !self->queue_.empty()) {
            auto f = std::move(self->queue_.front());
            self->queue_.pop_front();
            f();
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }
    static void CALLBACK OnTimeout(HWND, UINT, UINT_PTR, DWORD) {
        timedOut_ = true;
        if (IsWindow(watched_)) PostMessageW(watched_, WM_CLOSE, 0, 0);
    }
    HWND hwnd_ = nullptr;
    std::deque<std::function<void()>> queue_;
    static inline HWND watched_ = nullptr;
    static inline bool timedOut_ = false;
    static inline UINT_PTR timer_ = 0;
};

struct Owner {
    Owner() {
        hwnd = CreateWindowExW(0, L"STATIC", L"opener", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

RECT InParent(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectPlace(const TFormOption& form, P part, int left, int top, int width, int height) {
    SCOPED_TRACE(static_cast<int>(part));
    const RECT r = InParent(form.Part(part));
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right - r.left, width);
    if (height >= 0) {
        EXPECT_EQ(r.bottom - r.top, height);
    }
}

std::wstring Text(HWND h) {
    wchar_t buf[256] = {};
    GetWindowTextW(h, buf, 256);
    return buf;
}

std::vector<std::wstring> Items(HWND combo) {
    std::vector<std::wstring> items;
    const int n = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const int len = static_cast<int>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0));
        std::wstring s(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(s.data()));
        s.resize(static_cast<size_t>(len));
        items.push_back(s);
    }
    return items;
}

int Selected(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

OptionValues Sample() {
    OptionValues v;
    v.AutoStart = 1;
    v.AlarmLine = 7;
    v.TimeFontName = u"Arial";
    v.TimeHeight = 20;     // between two entries: shows "16"
    v.FormColor = 0x112233;
    v.TimeColor = 0x445566;
    v.TimeLabel = u"作業";
    v.VolumeAlarm = 95;    // shows "90"
    v.VolumeVoice = 0;
    return v;
}

OptionResult RunModal(TFormOption& form) {
    Steps::Watchdog(form.Handle());
    const OptionResult r = form.ShowModal();
    EXPECT_TRUE(Steps::StopWatchdog()) << "the dialog did not close by itself";
    return r;
}

// A dialog over an opener, on a host that holds the sample settings until a test changes them.
class FoptionWin : public ::testing::Test {
protected:
    FoptionWin() { host.stored = Sample(); }
    // The dialog reads the host's settings here.
    bool Open() { return form.Create(owner.hwnd); }

    Owner owner;
    FakeHost host;
    TFormOption form{host, host};
};

TEST_F(FoptionWin, OpensCentredWithTheLayoutAndTheStoredValues) {
    ASSERT_TRUE(Open());
    const HWND dlg = form.Handle();

    EXPECT_EQ(Text(dlg), L"オプション");
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), owner.hwnd);
    const LONG style = GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    RECT client{};
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 229);
    EXPECT_EQ(client.bottom, 379);
    RECT win{};
    GetWindowRect(dlg, &win);
    EXPECT_NEAR((win.left + win.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((win.top + win.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);

    ExpectPlace(form, P::ImageVoice, 155, 11, 16, 16);
    ExpectPlace(form, P::PanelOptionSettings, 8, 58, 214, 155);
    ExpectPlace(form, P::PanelOptionColor, 8, 217, 214, 53);
    ExpectPlace(form, P::PanelOptionVolume, 8, 276, 214, 53);
    ExpectPlace(form, P::SeparatorSettings, 40, 5, 170, 2);
    ExpectPlace(form, P::CheckBoxAutoStart, 12, 20, 192, 17);
    ExpectPlace(form, P::ComboBoxFontName, 59, 75, 150, -1);
    ExpectPlace(form, P::ComboBoxVolVoice, 156, 20, 52, -1);
    ExpectPlace(form, P::ButtonFormColor, 60, 20, 50, 22);
    ExpectPlace(form, P::ButtonTimeColor, 160, 20, 50, 22);
    ExpectPlace(form, P::ButtonOk, 61, 343, 75, 25);
    ExpectPlace(form, P::ButtonCancel, 146, 343, 75, 25);
    const RECT abort = InParent(form.Part(P::LabelAbort));
    EXPECT_EQ(abort.left, 19);
    EXPECT_EQ(abort.top, 8);
    EXPECT_EQ(GetParent(form.Part(P::ComboBoxVolAlarm)), form.Part(P::PanelOptionVolume));
    EXPECT_EQ(GetParent(form.Part(P::ButtonOk)), dlg);

    EXPECT_EQ(Text(form.Part(P::LabelAbort)), L"Movrek");
    EXPECT_EQ(Text(form.Part(P::LabelVersion)), L"Version 0.3");
    EXPECT_FALSE(Text(form.Part(P::LabelCopyright)).empty());
    EXPECT_EQ(Text(form.Part(P::CheckBoxAutoStart)), L"起動時、タイマーを自動スタートする");
    EXPECT_EQ(Text(form.Part(P::ButtonCancel)), L"キャンセル");
    EXPECT_FALSE(IsWindowVisible(form.Part(P::LabelAlarmLine)));
    EXPECT_FALSE(IsWindowVisible(form.Part(P::ComboBoxAlarmLine)));
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Part(P::LabelAbort), WM_GETFONT, 0, 0)),
               sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Arial");
    EXPECT_EQ(lf.lfHeight, -19);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form.Part(P::ComboBoxFontSize), WM_GETFONT, 0, 0)),
               sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
    EXPECT_EQ(lf.lfHeight, -11);

    // The stored values, shown.
    EXPECT_EQ(SendMessageW(form.Part(P::CheckBoxAutoStart), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Items(form.Part(P::ComboBoxAlarmLine)).size(), 21u);
    EXPECT_EQ(Selected(form.Part(P::ComboBoxAlarmLine)), 7);
    EXPECT_EQ(Items(form.Part(P::ComboBoxFontSize)), (std::vector<std::wstring>{L"16", L"24", L"32", L"40"}));
    EXPECT_EQ(Selected(form.Part(P::ComboBoxFontSize)), 0);
    const auto volumes = Items(form.Part(P::ComboBoxVolAlarm));
    ASSERT_EQ(volumes.size(), 11u);
    EXPECT_EQ(volumes.front(), L"100");
    EXPECT_EQ(volumes.back(), L"0");
    EXPECT_EQ(Items(form.Part(P::ComboBoxVolVoice)), volumes);
    EXPECT_EQ(Selected(form.Part(P::ComboBoxVolAlarm)), 1);
    EXPECT_EQ(Selected(form.Part(P::ComboBoxVolVoice)), 10);
    EXPECT_EQ(Items(form.Part(P::ComboBoxTimeLabel)), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(Text(form.Part(P::ComboBoxTimeLabel)), L"作業");
    EXPECT_EQ(Text(form.Part(P::ComboBoxFontName)), L"Arial");
    const auto fonts = Items(form.Part(P::ComboBoxFontName));
    ASSERT_GT(fonts.size(), 1u);
    for (size_t i = 1; i < fonts.size(); ++i) {
        const std::u16string a(fonts[i - 1].begin(), fonts[i - 1].end()), b(fonts[i].begin(), fonts[i].end());
        EXPECT_TRUE(FontNameLess(a, b)) << i;  // sorted, each once
    }
    for (const auto& f : fonts) EXPECT_NE(f[0], L'@');
    ASSERT_NE(form.Swatch(0), nullptr);
    EXPECT_EQ(form.Swatch(0)->Button().FaceColor(), 0x112233u);
    EXPECT_EQ(form.Swatch(1)->Button().FaceColor(), 0x445566u);
    EXPECT_EQ(form.Swatch(1)->Button().Style(), ysSingle);

    // Keyboard order: the first panel's lists, the volumes, then the buttons; swatches never.
    const P order[] = {P::CheckBoxAutoStart, P::ComboBoxFontName, P::ComboBoxFontSize,
                       P::ComboBoxTimeLabel, P::ComboBoxVolAlarm, P::ComboBoxVolVoice,
                       P::ButtonOk, P::ButtonCancel, P::CheckBoxAutoStart};
    ShowWindow(dlg, SW_SHOWNA);
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(GetNextDlgTabItem(dlg, form.Part(order[i]), FALSE), form.Part(order[i + 1])) << i;

    PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
    EXPECT_EQ(RunModal(form), OptionResult::Cancel);
    EXPECT_EQ(host.calls, std::vector<std::string>{});
    EXPECT_FALSE(IsWindow(dlg));
}

TEST_F(FoptionWin, OkWritesTheControlsThenSetsVolumesAndReappliesTheSettings) {
    host.stored.VolumeVoice = 150;  // selects no entry: kept
    ASSERT_TRUE(Open());
    const HWND dlg = form.Handle();
    Steps steps;
    bool ownerDisabled = false;
    steps.Then([&] {
        ownerDisabled = !IsWindowEnabled(owner.hwnd);
        SendMessageW(form.Part(P::CheckBoxAutoStart), BM_CLICK, 0, 0);  // untick
        SendMessageW(form.Part(P::ComboBoxFontSize), CB_SETCURSEL, 3, 0);
        SendMessageW(form.Part(P::ComboBoxVolAlarm), CB_SETCURSEL, 10, 0);
        SetWindowTextW(form.Part(P::ComboBoxFontName), L"No Such Font");
        SetWindowTextW(form.Part(P::ComboBoxTimeLabel), L"");
        PostMessageW(form.Part(P::ButtonOk), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(RunModal(form), OptionResult::Ok);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"write", "alarm 0", "voice 150", "reapply"}));
    const OptionValues& v = host.stored;
    EXPECT_EQ(v.AutoStart, 0);
    EXPECT_EQ(v.AlarmLine, 7);
    EXPECT_EQ(v.TimeFontName, u"No Such Font");
    EXPECT_EQ(v.TimeHeight, 40);
    EXPECT_EQ(v.FormColor, 0x112233u);
    EXPECT_EQ(v.TimeColor, 0x445566u);
    EXPECT_EQ(v.TimeLabel, u"");
    EXPECT_EQ(v.VolumeAlarm, 0);
    EXPECT_EQ(v.VolumeVoice, 150);
}

// Screen readers name each list, editable list and swatch after the caption before it (a
// list's own text is its selection, a swatch has none) and read a swatch's colour as its value.
TEST_F(FoptionWin, ListsAndSwatchesReadAsTheirCaptions) {
    ASSERT_TRUE(Open());
    const std::pair<P, const wchar_t*> named[] = {
        {P::ComboBoxFontName, L"フォント"}, {P::ComboBoxFontSize, L"高さ"}, {P::ComboBoxTimeLabel, L"ラベル"},
        {P::ComboBoxAlarmLine, L"時報数"},  {P::ComboBoxVolAlarm, L"アラーム"}, {P::ComboBoxVolVoice, L"音声"},
        {P::ButtonFormColor, L"フォーム"},  {P::ButtonTimeColor, L"時間"},
    };
    for (const auto& [part, name] : named) EXPECT_EQ(test::ReadAccessible(form.Part(part)).name, name) << name;
    // The typing field of an editable list is what takes the focus.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(form.Part(P::ComboBoxTimeLabel), &info));
    EXPECT_EQ(test::ReadAccessible(info.hwndItem).name, L"ラベル");

    const test::AccReading swatch = test::ReadAccessible(form.Part(P::ButtonFormColor));
    EXPECT_EQ(swatch.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(swatch.value, L"赤 51 緑 34 青 17");  // 0x112233
    form.Swatch(1)->Button().SetFaceColor(0x00FF00);
    EXPECT_EQ(test::ReadAccessible(form.Part(P::ButtonTimeColor)).value, L"赤 0 緑 255 青 0");
}

TEST_F(FoptionWin, SwatchTakesTheChosenColourButCancelDropsIt) {
    ASSERT_TRUE(Open());
    const HWND dlg = form.Handle();
    Steps steps;
    steps.Then([&] {
        host.chosen = 0x00FF00;
        SendMessageW(form.Part(P::ButtonFormColor), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
        SendMessageW(form.Part(P::ButtonFormColor), WM_LBUTTONUP, 0, At(5, 5));
        host.chosen.reset();  // the user cancels the chooser for the time colour
        SendMessageW(form.Part(P::ButtonTimeColor), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
        SendMessageW(form.Part(P::ButtonTimeColor), WM_LBUTTONUP, 0, At(5, 5));
    });
    std::uint32_t formFace = 0, timeFace = 0;
    steps.Then([&] {
        formFace = form.Swatch(0)->Button().FaceColor();
        timeFace = form.Swatch(1)->Button().FaceColor();
        PostMessageW(form.Part(P::ButtonCancel), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(RunModal(form), OptionResult::Cancel);
    EXPECT_EQ(host.presets, (std::vector<std::uint32_t>{0x112233, 0x445566}));
    EXPECT_EQ(host.chooserOwner, dlg);  // over the dialog, not the disabled opener
    EXPECT_EQ(formFace, 0x00FF00u);
    EXPECT_EQ(timeFace, 0x445566u);
    EXPECT_EQ(host.calls, std::vector<std::string>{});
    EXPECT_EQ(host.stored, Sample());
    EXPECT_EQ(form.Swatch(0), nullptr);  // freed at close
}

TEST_F(FoptionWin, SwatchColourReachesTheSettingsOnOk) {
    host.chosen = 0x0000FF;
    ASSERT_TRUE(Open());
    Steps steps;
    steps.Then([&] {
        PostMessageW(form.Part(P::ButtonTimeColor), WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
        PostMessageW(form.Part(P::ButtonTimeColor), WM_LBUTTONUP, 0, At(3, 3));
        PostMessageW(form.Part(P::ButtonOk), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(RunModal(form), OptionResult::Ok);
    EXPECT_EQ(host.stored.TimeColor, 0x0000FFu);
    EXPECT_EQ(host.stored.FormColor, 0x112233u);
    EXPECT_EQ(host.stored.TimeHeight, 16);  // 20 came back as 16
    EXPECT_EQ(host.stored.VolumeAlarm, 90);  // 95 came back as 90
}

TEST_F(FoptionWin, EnterAndEscapeDoNotCloseButAFocusedButtonTakesEnter) {
    ASSERT_TRUE(Open());
    Steps steps;
    bool openAfterKeys = false;
    steps.Then([&] {
        const HWND box = form.Part(P::CheckBoxAutoStart);
        SetFocus(box);
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
        const HWND edit = GetWindow(form.Part(P::ComboBoxTimeLabel), GW_CHILD);
        PostMessageW(edit ? edit : box, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(edit ? edit : box, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    steps.Then([&] {
        openAfterKeys = IsWindowVisible(form.Handle()) && host.calls.empty();
        SendMessageW(form.Part(P::CheckBoxAutoStart), BM_CLICK, 0, 0);  // untick
        SetFocus(form.Part(P::ButtonOk));
        PostMessageW(form.Part(P::ButtonOk), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_EQ(RunModal(form), OptionResult::Ok);
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(host.stored.AutoStart, 0);  // the change made after the keys was written
}

TEST_F(FoptionWin, IconSpeaksTheCreditAndAQuitMessageEndsTheDialogAsCancel) {
    ASSERT_TRUE(Open());
    Steps steps;
    steps.Then([&] {
        SendMessageW(form.Part(P::ImageVoice), WM_LBUTTONDOWN, MK_LBUTTON, At(4, 4));
        SendMessageW(form.Part(P::ImageVoice), WM_LBUTTONUP, 0, At(4, 4));
        PostQuitMessage(7);
    });
    EXPECT_EQ(RunModal(form), OptionResult::Cancel);
    EXPECT_EQ(host.calls, std::vector<std::string>{"talk Lorameru"});
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // posted again
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace movrek
