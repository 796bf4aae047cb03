// Thin wrappers over the platform's standard controls. A wrapper holds the control's HWND and
// owns nothing: the parent window destroys its children, and fonts belong to whoever made
// them. Controls are created from argument structs.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/ChoiceList.h"
#include "platform/WinText_win.h"
#include "ui/Handles.h"
#include "ui/Window.h"

namespace movrek::ui {

struct Place {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Base for control wrappers: position, visibility, font, text.
class Control {
public:
    HWND Handle() const { return hwnd_; }
    void SetText(std::u16string_view text);
    std::u16string Text() const;
    void Move(int left, int top);
    void Resize(int width, int height);
    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;  // in the parent's client coordinates
    void Show(bool visible);
    bool Visible() const;
    void SetFont(HFONT font);

protected:
    HWND hwnd_ = nullptr;
};

// A static text. With autoSize it takes the size of its text in its font whenever the text or
// the font changes; its background is the parent's (see Window::SetChildTextColor).
struct LabelArgs {
    Place place;           // width and height unused when autoSize
    const wchar_t* text = L"";
    bool autoSize = true;
    bool rightAligned = false;
    HFONT font = nullptr;
    COLORREF color = RGB(0, 0, 0);
};

class Label : public Control {
public:
    bool Create(Window& parent, const LabelArgs& args);
    void SetText(std::u16string_view text);
    void SetFont(HFONT font);
    void SetColor(COLORREF color);
    int Width() const;
    int Height() const;

private:
    void FitToText();
    bool SameWidthAsMeasured(const std::wstring& text) const;
    Window* parent_ = nullptr;
    bool autoSize_ = true;
    // The text the label was last sized to, in its present font.
    std::wstring measured_;
    bool measuredValid_ = false;
    bool evenDigits_ = false;  // the present font gives all ten digits one advance width
};

// A selection-only drop-down list (CBS_DROPDOWNLIST).
struct ComboArgs {
    Place place;           // height: the closed field; the open list adds dropDownLines
    int id = 0;
    int dropDownLines = 8;
    HFONT font = nullptr;
};

class ComboBox : public Control, public ChoiceList {
public:
    bool Create(HWND parent, const ComboArgs& args);
    void SetItems(const std::vector<std::u16string>& items) override;
    int Count() const override;
    int Selected() const override;
    void Select(int index) override;
    void SetDropDownLines(int lines);

private:
    int lines_ = 8;
    int width_ = 0;
};

// A drop-down list whose field is also an edit box (CBS_DROPDOWN): the items are offers, the
// text is what counts. Created from the same arguments as the selection-only list.
class EditComboBox : public Control {
public:
    bool Create(HWND parent, const ComboArgs& args);
    // Replaces the offers; the field is emptied too, so its text is set afterwards.
    void SetItems(const std::vector<std::u16string>& items);
};

// A push button; its click arrives at the parent as WM_COMMAND/BN_CLICKED with its id.
struct ButtonArgs {
    Place place;
    const wchar_t* text = L"";
    int id = 0;
    HFONT font = nullptr;
};

class PushButton : public Control {
public:
    bool Create(HWND parent, const ButtonArgs& args);
};

// A check box that ticks itself when clicked (BS_AUTOCHECKBOX); the click also arrives at the
// parent as WM_COMMAND/BN_CLICKED with its id. Made from a push button's arguments.
class CheckBox : public Control {
public:
    bool Create(HWND parent, const ButtonArgs& args);
    bool Checked() const;
    void SetChecked(bool checked);
};

// A picture of one icon, drawn at its own size. A click arrives at the parent as
// WM_COMMAND/STN_CLICKED with its id. The icon stays its maker's.
struct IconPictureArgs {
    Place place;
    int id = 0;
    HICON icon = nullptr;
};

class IconPicture : public Control {
public:
    bool Create(HWND parent, const IconPictureArgs& args);
};

// An etched horizontal line, as a section title's rule.
struct SeparatorArgs {
    Place place;
};

class Separator : public Control {
public:
    bool Create(HWND parent, const SeparatorArgs& args);
};

// A child window with its own background colour. Commands and notifications of its controls
// go on to its parent, so a panel is transparent to the dispatcher.
struct PanelArgs {
    Place place;
    COLORREF color = RGB(255, 255, 255);
    int id = 0;
};

class Panel : public Window {
public:
    bool Create(HWND parent, const PanelArgs& args);
    void SetColor(COLORREF color);
    void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;
    void Show(bool visible);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    HBRUSH BackgroundBrush() override { return brush_.Get(); }

private:
    Brush brush_;
};

// A list of 16 x 16 images with alpha.
class ImageList {
public:
    bool Create(int width, int height);
    int AddIcon(HICON icon);  // -1 on failure
    void Draw(HDC dc, int index, int x, int y) const;
    int Count() const;

private:
    ImageListHandle list_;
};

// A popup menu built from a table. Items not shown are left out of the menu itself but keep
// their shortcut. Each item sends WM_COMMAND with commandBase + tag to the owner.
struct MenuItemDef {
    int tag = 0;                 // 0 with separator
    const wchar_t* caption = L"";
    WORD shortcut = 0;           // virtual key, 0 for none
    bool visible = true;
    bool separator = false;
};

class PopupMenu {
public:
    bool Create(const MenuItemDef* items, size_t count, UINT commandBase);
    // Opens at a screen point; the command arrives as WM_COMMAND at owner.
    void Popup(HWND owner, POINT screen);
    HMENU Handle() const { return menu_.Get(); }
    HACCEL Shortcuts() const { return accel_.Get(); }
    UINT CommandBase() const { return base_; }

private:
    Menu menu_;
    Accelerators accel_;
    UINT base_ = 0;
};

// The notification-area icon, at version 4 where the shell takes it: its events arrive at the
// owner as callbackMessage with the event (a mouse message, NIN_SELECT, NIN_KEYSELECT,
// WM_CONTEXTMENU) in LOWORD(lParam), the icon id in HIWORD(lParam) and, at version 4, the
// anchor point in screen coordinates in wParam (x low, y high). A shell without version 4
// sends the mouse message alone in lParam.
class TrayIcon {
public:
    TrayIcon() = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool Add(HWND owner, UINT id, UINT callbackMessage, HICON icon, std::wstring_view tip);
    // The shell restarted (TaskbarCreated): put the icon back.
    bool Restore();
    void Remove();
    bool Shown() const { return shown_; }
    // The shell took version 4: the keyboard's notifications come, and a mouse release is
    // followed by NIN_SELECT or WM_CONTEXTMENU.
    bool Version4() const { return version4_; }
    // The message the shell broadcasts when the notification area is (re)created.
    static UINT TaskbarCreatedMessage();

private:
    void SetVersion();
    NOTIFYICONDATAW data_{};
    bool shown_ = false;
    bool version4_ = false;
};

// The colour chooser with its 16 custom colours, kept between openings.
class ColorChooser {
public:
    // "ColorA=984E00": letter A..P picks the slot, the hex value is 0xBBGGRR.
    bool AddCustomColor(std::wstring_view entry);
    // Opens modally with color preselected; true and the new colour when the user chose one.
    bool Execute(HWND owner, COLORREF& color);
    COLORREF Custom(int slot) const { return custom_[slot]; }

private:
    COLORREF custom_[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                            0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                            0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
    Library library_;
};

// Message boxes titled with the program name.
void ShowMessage(HWND owner, std::wstring_view text);
int AskQuestion(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags);

// A font by face name and character height in pixels (negative: without the leading).
Font MakeFont(std::wstring_view face, int height);

}  // namespace movrek::ui
