#include "app/Kbtn.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "app/ControlNames.h"
#include "controls/BarGlyphs.h"

namespace movrek {
namespace {

class NoText : public TextRenderer {
public:
    Extent Measure(std::u16string_view) override { return {}; }
    void Draw(Bitmap&, int, int, std::u16string_view, Color) override {}
};

struct FakeButton : KbtnButton {
    explicit FakeButton(NoText& text) : model(text) {}
    TKButton model;
    bool visible = true;  // a freshly made control that the bar must hide
    int left = -1, top = -1, width = -1, height = -1;
    std::u16string font;
    int points = 0;
    KbtnPopupMenu popup = nullptr;
    int glyph = 0;

    TKButton& Model() override { return model; }
    void SetBounds(int l, int t, int w, int h) override { left = l, top = t, width = w, height = h; }
    void SetVisible(bool v) override { visible = v; }
    bool Visible() const override { return visible; }
    void SetFont(std::u16string_view f, int p) override { font = f, points = p; }
    void SetPopupMenu(KbtnPopupMenu m) override { popup = m; }
    void LoadGlyph(int id) override {
        glyph = id;
        model.SetGlyph(BarGlyphBitmap(id));
    }
};

struct FakeHost : KbtnHost {
    NoText text;
    std::vector<FakeButton*> made;
    int width = 0, height = 0;
    std::unique_ptr<KbtnButton> CreateButton() override {
        auto b = std::make_unique<FakeButton>(text);
        made.push_back(b.get());
        return b;
    }
    void SetSize(int w, int h) override { width = w, height = h; }
};

int menuTag;
KbtnPopupMenu const kMenu = &menuTag;

TEST(Kbtn, CreationMakesHiddenIndexedButtonsAndAtLeastOne) {
    FakeHost host;
    kbtn bar(3, host, kMenu);
    ASSERT_EQ(host.made.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const FakeButton& b = *host.made[static_cast<size_t>(i)];
        EXPECT_EQ(b.model.Index(), i + 1);
        EXPECT_FALSE(b.visible);
        EXPECT_EQ(b.model.Style(), ysSingle);
        EXPECT_EQ(b.font, u"MS UI Gothic");
        EXPECT_EQ(b.points, 10);
        EXPECT_EQ(b.popup, kMenu);
    }
    EXPECT_EQ(bar.Button(0), nullptr);
    EXPECT_EQ(bar.Button(4), nullptr);
    EXPECT_FALSE(bar.Busy);

    for (int count : {0, -5}) {
        FakeHost small;
        kbtn one(count, small, nullptr);
        EXPECT_EQ(one.Count, 1);
        EXPECT_EQ(small.made.size(), 1u);
        one.Layout();  // a bar smaller than the layout lays out what it has
        EXPECT_TRUE(small.made[0]->visible);
        EXPECT_EQ(small.made[0]->glyph, kGlyphIdle);
    }
}

TEST(Kbtn, LayoutPlacesThreeFlatPictureButtonsOnA209By22Host) {
    FakeHost host;
    kbtn bar(4, host, kMenu);
    bar.Layout();
    const int lefts[] = {171, 189, 207};
    const int glyphs[] = {kGlyphIdle, kGlyphHelp, kGlyphClose};
    for (int i = 0; i < 3; ++i) {
        const FakeButton& b = *host.made[static_cast<size_t>(i)];
        EXPECT_EQ(b.left, lefts[i]);
        EXPECT_EQ(b.top, 3);
        EXPECT_EQ(b.width, 16);
        EXPECT_EQ(b.height, 16);
        EXPECT_TRUE(b.visible);
        EXPECT_EQ(b.model.Style(), ysFlat);
        EXPECT_EQ(b.model.FaceColor(), 0x984E00u);
        EXPECT_EQ(b.model.FontColor(), 0u);
        EXPECT_EQ(b.points, 9);
        EXPECT_EQ(b.popup, nullptr);
        EXPECT_EQ(b.glyph, glyphs[i]);
    }
    // A fourth button is not part of the layout: plain and hidden.
    EXPECT_FALSE(host.made[3]->visible);
    EXPECT_EQ(host.made[3]->model.FaceColor(), 0xD8E9ECu);
    EXPECT_EQ(bar.CursorX, 225);
    EXPECT_EQ(bar.CursorY, 22);
    EXPECT_EQ(host.width, 209);
    EXPECT_EQ(host.height, 22);
}

TEST(Kbtn, StateGlyphIsRedWhenFinishedAndGreenOtherwise) {
    FakeHost host;
    kbtn bar(3, host, nullptr);
    bar.Layout();
    StateGlyph& seam = bar;
    seam.SetStateGlyph(true);
    EXPECT_EQ(host.made[0]->glyph, kGlyphFinished);
    EXPECT_EQ(host.made[0]->model.Glyph().Pixel(5, 5), Rgb(255, 0, 0));
    seam.SetStateGlyph(false);
    EXPECT_EQ(host.made[0]->glyph, kGlyphIdle);
    EXPECT_EQ(host.made[0]->model.Glyph().Pixel(5, 5), Rgb(0, 255, 0));
    EXPECT_EQ(host.made[2]->glyph, kGlyphClose);  // the others keep theirs
}

TEST(Kbtn, AClickDuringARunningCommandIsDroppedButRemembered) {
    FakeHost host;
    kbtn bar(3, host, nullptr);
    bar.Layout();
    std::vector<int> commands;
    bar.OnCommand = [&](int c) {
        commands.push_back(c);
        if (commands.size() == 1) {
            // The command lets pending messages run: two more clicks arrive meanwhile.
            host.made[0]->model.Click();
            host.made[2]->model.Click();
            EXPECT_TRUE(bar.Busy);
        }
    };
    host.made[1]->model.Click();
    EXPECT_EQ(commands, std::vector<int>{2});
    EXPECT_EQ(bar.LastButton, 3);
    EXPECT_FALSE(bar.Busy);
    host.made[0]->model.Click();  // once the command is over, clicks work again
    EXPECT_EQ(commands, (std::vector<int>{2, 1}));
}

TEST(Kbtn, ACommandMayDestroyTheBarOrFail) {
    {
        FakeHost host;
        auto bar = std::make_unique<kbtn>(3, host, nullptr);
        bar->Layout();
        bool ran = false;
        // The close command destroys the bar under the click; nothing may touch it after.
        bar->OnCommand = [&](int) {
            ran = true;
            bar.reset();
        };
        // Through the button, as a real click arrives; the button goes with the bar.
        host.made[2]->model.Click();
        EXPECT_TRUE(ran);
        EXPECT_EQ(bar, nullptr);
    }
    {
        FakeHost host;
        kbtn bar(3, host, nullptr);
        int calls = 0;
        bar.OnCommand = [&](int) {
            if (++calls == 1) throw std::runtime_error("failed");
        };
        EXPECT_THROW(bar.ButtonClick(1), std::runtime_error);
        EXPECT_FALSE(bar.Busy);  // a failed command does not leave the bar dead
        bar.ButtonClick(1);
        EXPECT_EQ(calls, 2);
    }
}

// What a screen reader says of the bar and the panel's lists: the state button names the run
// and, as the switch between the modes, says which one is open and what a press does.
TEST(Kbtn, ReadingsNameTheRunTheModeAndEachList) {
    using S = TimerState;
    const auto compact = DisplayMode::Compact, expanded = DisplayMode::Expanded;
    EXPECT_EQ(BarButtonReading(1, S::Idle, 0, expanded).name, u"タイマー 停止中");
    EXPECT_EQ(BarButtonReading(1, S::Idle, 1, compact).name, u"タイマー カウントダウン中");
    EXPECT_EQ(BarButtonReading(1, S::Counting, 0, compact).name, u"タイマー 計測中");
    // The count-in flag is left alone once the count runs or ends: the state decides.
    EXPECT_EQ(BarButtonReading(1, S::Counting, 1, compact).name, u"タイマー 計測中");
    EXPECT_EQ(BarButtonReading(1, S::Finished, 1, compact).name, u"タイマー 終了");

    const ButtonReading open = BarButtonReading(1, S::Counting, 0, expanded);
    EXPECT_TRUE(open.expandable);
    EXPECT_TRUE(open.expanded);
    EXPECT_EQ(open.defaultAction, u"折りたたみ");
    const ButtonReading closed = BarButtonReading(1, S::Idle, 0, compact);
    EXPECT_FALSE(closed.expanded);
    EXPECT_EQ(closed.defaultAction, u"展開");
    // On a finished run a press acknowledges, in either mode.
    EXPECT_EQ(BarButtonReading(1, S::Finished, 0, expanded).defaultAction, u"確認");
    EXPECT_EQ(BarButtonReading(1, S::Finished, 0, compact).defaultAction, u"確認");

    const ButtonReading help = BarButtonReading(2, S::Finished, 0, compact);
    const ButtonReading close = BarButtonReading(3, S::Finished, 0, compact);
    EXPECT_EQ(help.name, u"ヘルプ");
    EXPECT_EQ(close.name, u"閉じる");
    EXPECT_EQ(close.defaultAction, u"押す");
    EXPECT_FALSE(close.expandable);  // only the state button opens anything
    EXPECT_EQ(close.value, u"");

    EXPECT_EQ(AlarmChoiceName(0, AlarmField::End), u"時報 1 終了");
    EXPECT_EQ(AlarmChoiceName(0, AlarmField::Hour), u"時報 1 時");
    EXPECT_EQ(AlarmChoiceName(4, AlarmField::Minute), u"時報 5 分");
    EXPECT_EQ(AlarmChoiceName(8, AlarmField::Second), u"時報 9 秒");
    EXPECT_EQ(AlarmChoiceName(9, AlarmField::Sound), u"時報 10 音");

    EXPECT_EQ(CaptionName(u"カウント:"), u"カウント");
    EXPECT_EQ(CaptionName(u"時報 10:"), u"時報 10");
    EXPECT_EQ(CaptionName(u"フォント："), u"フォント");  // a full-width colon too
    EXPECT_EQ(CaptionName(u"終了(&X)"), u"終了(X)");
    EXPECT_EQ(CaptionName(u"R&&D:"), u"R&D");
    EXPECT_EQ(CaptionName(u"タイマー\u3000スタート"), u"タイマー\u3000スタート");  // inner gap kept
    EXPECT_EQ(CaptionName(u":"), u"");
    EXPECT_EQ(CaptionName(u""), u"");

    EXPECT_EQ(ColorValueText(0x984E00), u"赤 0 緑 78 青 152");
    EXPECT_EQ(ColorValueText(0xFFFFFF), u"赤 255 緑 255 青 255");
    EXPECT_EQ(ColorValueText(0x0000FF), u"赤 255 緑 0 青 0");
}

}  // namespace
}  // namespace movrek
