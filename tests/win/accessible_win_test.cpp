// What screen readers read of the program's controls, read in-process as a reader reads it
// (AccessibleObjectFromWindow), and the events they hear. Wine's standard objects answer role
// "client" for every standard control and name a list by its selection, so these tests check
// the names and roles the program gives, not the platform's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "app/Kbtn.h"
#include "app/Kbtn_win.h"
#include "controls/Kbutton_win.h"
#include "support/Accessible_win.h"
#include "ui/Controls.h"

namespace movrek {
namespace {

using test::ReadAccessible;

class Host : public ui::Window {
public:
    Host() {
        ui::WindowArgs a;
        a.className = L"MovrekAccessibleTestHost";
        a.style = WS_POPUP | WS_VISIBLE;
        a.left = 50;
        a.top = 60;
        a.width = 300;
        a.height = 120;
        CreateWindowFrom(a);
    }
};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::unique_ptr<TKButtonWindow> MakeButton(HWND parent) {
    TKButtonCreate a;
    a.parent = parent;
    a.left = 10;
    a.top = 20;
    a.width = 60;
    a.height = 22;
    return std::make_unique<TKButtonWindow>(a);
}

// A TKButton is a push button named by its caption until its owner says more; its states
// follow the model and the window; a reader's press is the button's click, run after the
// reader's call has returned, and none on a disabled button.
TEST(AccessibleWin, ButtonIsAPushButtonWithItsReadingStatesAndPress) {
    Host host;
    auto button = MakeButton(host.Handle());
    button->SetCaption(u"&OK:");
    int clicks = 0;
    button->Button().OnClick = [&](TKButton&) { ++clicks; };

    test::AccReading r = ReadAccessible(button->Hwnd());
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(r.name, L"OK");
    EXPECT_EQ(r.action, L"押す");
    EXPECT_EQ(r.state & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_EXPANDED |
                         STATE_SYSTEM_COLLAPSED),
              0);

    bool expanded = false;
    button->SetReading([&] {
        return ButtonReading{u"タイマー 計測中", u"値", u"展開", true, expanded};
    });
    r = ReadAccessible(button->Hwnd());
    EXPECT_EQ(r.name, L"タイマー 計測中");
    EXPECT_EQ(r.value, L"値");
    EXPECT_EQ(r.action, L"展開");
    EXPECT_EQ(r.state & (STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED), STATE_SYSTEM_COLLAPSED);
    expanded = true;  // asked again each time: no stale answer
    EXPECT_EQ(ReadAccessible(button->Hwnd()).state & (STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED),
              STATE_SYSTEM_EXPANDED);

    button->SetVisible(false);
    EXPECT_TRUE(ReadAccessible(button->Hwnd()).state & STATE_SYSTEM_INVISIBLE);
    button->SetVisible(true);

    IAccessible* acc = test::ClientObject(button->Hwnd());
    ASSERT_NE(acc, nullptr);
    const VARIANT self = test::SelfId();
    RECT rect{};
    GetWindowRect(button->Hwnd(), &rect);
    LONG x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(acc->accLocation(&x, &y, &w, &h, self), S_OK);
    EXPECT_EQ(x, rect.left);
    EXPECT_EQ(y, rect.top);
    EXPECT_EQ(w, 60);
    EXPECT_EQ(h, 22);
    VARIANT hit{};
    EXPECT_EQ(acc->accHitTest(rect.left + 5, rect.top + 5, &hit), S_OK);
    EXPECT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, CHILDID_SELF);
    EXPECT_EQ(acc->accHitTest(rect.right + 5, rect.top + 5, &hit), S_FALSE);
    EXPECT_EQ(hit.vt, VT_EMPTY);
    IDispatch* parent = nullptr;
    EXPECT_EQ(acc->get_accParent(&parent), S_OK);
    ASSERT_NE(parent, nullptr);
    parent->Release();
    VARIANT other{};
    other.vt = VT_I4;
    other.lVal = 1;
    BSTR name = nullptr;
    EXPECT_EQ(acc->get_accName(other, &name), E_INVALIDARG);  // no children

    EXPECT_EQ(acc->accDoDefaultAction(self), S_OK);
    EXPECT_EQ(clicks, 0);  // not inside the reader's call
    Pump();
    EXPECT_EQ(clicks, 1);

    button->SetEnabled(false);
    EXPECT_TRUE(ReadAccessible(button->Hwnd()).state & STATE_SYSTEM_UNAVAILABLE);
    EXPECT_NE(acc->accDoDefaultAction(self), S_OK);
    Pump();
    EXPECT_EQ(clicks, 1);

    // A reader may hold the object after the button has gone: it is told so, nothing crashes.
    button.reset();
    name = nullptr;
    EXPECT_EQ(acc->get_accName(self, &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(acc->accDoDefaultAction(self), CO_E_OBJNOTCONNECTED);
    acc->Release();
}

// The bar's buttons on a real host read as the bar's readings give them, and a change of the
// state button's reading reaches readers as the matching event of its client object.
TEST(AccessibleWin, BarButtonsReadAndAnnounceTheirChanges) {
    Host host;
    Win32KbtnHost barHost(host.Handle());
    kbtn bar(3, barHost, nullptr);
    bar.Layout();
    TimerState state = TimerState::Counting;
    DisplayMode mode = DisplayMode::Compact;
    for (int i = 1; i <= 3; ++i)
        bar.Button(i)->SetReading([&, i] { return BarButtonReading(i, state, 0, mode); });
    HWND hwnds[3] = {};
    for (int i = 0; i < 3; ++i) hwnds[i] = FindWindowExW(host.Handle(), i ? hwnds[i - 1] : nullptr, L"TKButton", nullptr);
    ASSERT_NE(hwnds[2], nullptr);

    EXPECT_EQ(ReadAccessible(hwnds[0]).name, L"タイマー 計測中");
    EXPECT_EQ(ReadAccessible(hwnds[2]).name, L"閉じる");
    EXPECT_EQ(ReadAccessible(hwnds[2]).role, ROLE_SYSTEM_PUSHBUTTON);

    test::WinEventLog log(hwnds[0]);
    ASSERT_TRUE(log.Hooked());
    state = TimerState::Finished;
    bar.Button(1)->ReadingChanged(true, false);
    log.Pump();
    EXPECT_EQ(log.Count(EVENT_OBJECT_NAMECHANGE), 1u);
    EXPECT_EQ(log.Count(EVENT_OBJECT_STATECHANGE), 0u);
    EXPECT_EQ(ReadAccessible(hwnds[0]).name, L"タイマー 終了");

    mode = DisplayMode::Expanded;
    bar.Button(1)->ReadingChanged(false, true);
    log.Pump();
    EXPECT_EQ(log.Count(EVENT_OBJECT_NAMECHANGE), 1u);
    EXPECT_EQ(log.Count(EVENT_OBJECT_STATECHANGE), 1u);
    EXPECT_TRUE(ReadAccessible(hwnds[0]).state & STATE_SYSTEM_EXPANDED);
}

// A standard list named after its caption reads by that name, not by its selection; a label
// named by its text follows the text and reads as static text; a second reading replaces
// the first.
TEST(AccessibleWin, StandardControlsTakeTheNamesTheyAreGiven) {
    Host host;
    ui::ComboBox list;
    ASSERT_TRUE(list.Create(host.Handle(), {{10, 10, 100, 20}, 7, 8, nullptr}));
    list.SetItems({u"", u"10秒前"});
    list.Select(1);
    ASSERT_TRUE(ui::SetControlReading(list.Handle(), {.name = u"カウント"}));
    EXPECT_EQ(ReadAccessible(list.Handle()).name, L"カウント");
    ASSERT_TRUE(ui::SetControlReading(list.Handle(), {.name = u"時報 1 終了"}));
    EXPECT_EQ(ReadAccessible(list.Handle()).name, L"時報 1 終了");

    ui::Label label;
    ui::LabelArgs a;
    a.text = L"00:00:00";
    ASSERT_TRUE(label.Create(host, a));
    ASSERT_TRUE(ui::SetControlReading(label.Handle(),
                                      {.name = {}, .nameFromText = true, .role = ROLE_SYSTEM_STATICTEXT}));
    EXPECT_EQ(ReadAccessible(label.Handle()).role, ROLE_SYSTEM_STATICTEXT);
    label.SetText(u"作業 01:02:03");
    EXPECT_EQ(ReadAccessible(label.Handle()).name, L"作業 01:02:03");

    EXPECT_FALSE(ui::SetControlReading(nullptr, {.name = u"x"}));
}

}  // namespace
}  // namespace movrek
