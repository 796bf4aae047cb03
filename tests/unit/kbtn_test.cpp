#include "app/Kbtn.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

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

}  // namespace
}  // namespace movrek
