// The Windows control of TKButton: a child window that owns the portable button model, paints
// every frame into a DIB section through the model's own drawing code and copies it to the
// screen with one BitBlt. It takes no focus and has no keyboard behaviour; the left button
// captures the pointer until it is released, so a press that ends outside still clicks once
// (unless the model is told otherwise, as the picture button is).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "controls/Bitmap_win.h"
#include "controls/ButtonReading.h"
#include "controls/Kbutton.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Window.h"

namespace movrek {

// Captions through GDI in a font the owner provides.
class GdiTextRenderer : public TextRenderer {
public:
    GdiTextRenderer();

    void SetFont(HFONT font) { font_ = font; }  // not owned
    HFONT Font() const { return font_; }
    Extent Measure(std::u16string_view text) override;
    // Transparent background: only the glyph strokes are written.
    void Draw(Bitmap& target, int x, int y, std::u16string_view text, Color c) override;

private:
    void DrawOn(HDC dc, int x, int y, std::u16string_view text, Color c);

    HFONT font_ = nullptr;
    ui::MemoryDc measureDc_;
};

class TKButtonAccessible;

struct TKButtonCreate {
    HWND parent = nullptr;  // required: the button is a child window
    int left = 0;
    int top = 0;
    int width = 100;
    int height = 22;
    bool visible = true;
    int controlId = 0;  // the child window id
};

class TKButtonWindow : public ui::Window {
public:
    // Creates the window; throws std::runtime_error when Windows refuses. The font comes from
    // the parent (WM_GETFONT, else the default GUI font), the parent colour from the system's
    // button-face colour; the owner sets FormColor-like colours on Button() as needed.
    explicit TKButtonWindow(const TKButtonCreate& args);
    ~TKButtonWindow() override;

    // Null once the window has been destroyed (for instance with its parent).
    HWND Hwnd() const { return Handle(); }
    // The model: properties, events (OnClick, OnMouseDown, ...), paint state.
    TKButton& Button() { return *button_; }
    const TKButton& Button() const { return *button_; }

    void SetBounds(int left, int top, int width, int height);
    void SetVisible(bool visible);
    // A disabled button keeps its native window enabled so pointer input still arrives; the
    // paint state filters it.
    void SetEnabled(bool enabled);
    void SetCaption(std::u16string_view caption);
    // Creates and owns a font of the face and size in points (at 96 dpi).
    void SetFont(std::u16string_view face, int pointSize);
    // Uses a font the caller keeps alive (same as WM_SETFONT).
    void SetFontHandle(HFONT font);
    HFONT Font() const { return text_.Font(); }
    // Shown on a right click; its commands go to the parent as WM_COMMAND. Not owned.
    void SetPopupMenu(HMENU menu) { popup_ = menu; }
    // Loads a BITMAP resource into Glyph; false when the module has no such picture.
    bool SetGlyphResource(HINSTANCE module, int resourceId);
    void SetGlyph(const Bitmap& picture) { button_->SetGlyph(picture); }

    // Renders the current look and copies it to dc at (0, 0), as a paint does.
    virtual void PaintTo(HDC dc);

    // What screen readers are told of the button (its own accessible object, role push
    // button). Without a reading of its own it reads as its caption, pressed by the click.
    void SetReading(std::function<ButtonReading()> reading) { reading_ = std::move(reading); }
    ButtonReading Reading() const;
    // Tells readers that the name or the states (the expanded one, say) changed.
    void ReadingChanged(bool name, bool states);

    static constexpr const wchar_t* kClassName = L"TKButton";

protected:
    // The model alone; CreateButtonWindow makes the window later.
    TKButtonWindow();
    bool CreateButtonWindow(const TKButtonCreate& args, const wchar_t* className);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnPaint();
    void OnWindowPosChanged();
    void OnMouseMove(WPARAM wp, LPARAM lp);
    void OnMouseLeave();
    void OnButtonDown(MouseButton button, WPARAM wp, LPARAM lp);
    void OnButtonUp(MouseButton button, WPARAM wp, LPARAM lp);
    void OnCaptureChanged(HWND newCapture);
    bool OnContextMenu(LPARAM lp);
    void TrackLeave();
    bool PointerOver() const;
    LRESULT OnGetObject(WPARAM wp, LPARAM lp);
    void DisconnectReaders();

    GdiTextRenderer text_;
    ui::Font ownedFont_;
    DibBitmap* work_ = nullptr;  // the model's work bitmap, kept here for its DC
    std::unique_ptr<TKButton> button_;
    HMENU popup_ = nullptr;      // not owned
    bool inside_ = false;        // the pointer is over the button, as last reported
    bool tracking_ = false;      // a TrackMouseEvent leave request is pending
    bool releasing_ = false;     // our own ReleaseCapture is in progress
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
    std::function<ButtonReading()> reading_;
    TKButtonAccessible* accessible_ = nullptr;  // owned reference, made when a reader asks
};

// A flat button showing one picture: no frame until the pointer is over it, a sunken frame
// while pressed. Clicks reach the parent as WM_COMMAND/BN_CLICKED with its id; a release away
// from it does not click. A tooltip shows its hint.
struct PictureButtonArgs {
    ui::Place place;
    int id = 0;
    const ui::ImageList* images = nullptr;
    int imageIndex = -1;
    COLORREF faceColor = 0;
    const wchar_t* hint = nullptr;
};

class PictureButton : public TKButtonWindow {
public:
    PictureButton() = default;
    bool Create(HWND parent, const PictureButtonArgs& args);
    void SetImage(const ui::ImageList* images, int index);
    HWND Tooltip() const { return tooltip_; }
    void PaintTo(HDC dc) override;

private:
    const ui::ImageList* images_ = nullptr;  // not owned
    int index_ = -1;
    COLORREF face_ = 0;
    HWND tooltip_ = nullptr;  // owned by the top-level window, destroyed with it
    std::wstring hint_;
};

}  // namespace movrek
