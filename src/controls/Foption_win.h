// TFormOption: the modal options dialog. It shows the nine settings of OptionValues when it
// opens, lets the user change them, and writes them back only when OK is pressed; Cancel and
// the close box drop every change. All of its decisions are in Foption.h; this is the window.
//
// Use: TFormOption::Execute(owner, host, chooser), or Create + ShowModal for a caller that wants to look
// at the controls before the dialog runs (tests).
#pragma once
#include <windows.h>

#include <array>
#include <memory>

#include "controls/Foption.h"
#include "controls/Kbutton_win.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Window.h"

namespace movrek {

// The dialog's components, in creation order (which is also the keyboard order).
enum class OptionPart : int {
    LabelAbort,
    LabelVersion,
    ImageVoice,
    LabelCopyright,
    PanelOptionSettings,
    LabelSettings,
    SeparatorSettings,
    CheckBoxAutoStart,
    LabelFontName,
    ComboBoxFontName,
    LabelFontSize,
    ComboBoxFontSize,
    LabelTimeLabel,
    ComboBoxTimeLabel,
    LabelAlarmLine,
    ComboBoxAlarmLine,
    PanelOptionColor,
    LabelColor,
    SeparatorColor,
    LabelFormColor,
    ButtonFormColor,
    LabelTimeColor,
    ButtonTimeColor,
    PanelOptionVolume,
    LabelVolume,
    SeparatorVolume,
    LabelVolAlarm,
    ComboBoxVolAlarm,
    LabelVolVoice,
    ComboBoxVolVoice,
    ButtonOk,
    ButtonCancel,
    Count
};

enum class OptionResult { None, Ok, Cancel };

inline constexpr int kOptionClientWidth = 229;
inline constexpr int kOptionClientHeight = 379;

// The colour chooser the swatches open: the opener's, so its custom colours outlive the dialog.
class SwatchColors {
public:
    virtual ~SwatchColors() = default;
    // Modal over the dialog's window, preset to colour (0xBBGGRR); true and the new colour on
    // confirm.
    virtual bool Choose(HWND dialog, COLORREF& colour) = 0;
};

class TFormOption : public ui::Window {
public:
    TFormOption(OptionsHost& host, SwatchColors& colors);
    ~TFormOption() override;

    // Creates, shows modally over owner (disabled meanwhile) and destroys the dialog; the
    // swatches open chooser. True when the user pressed OK (the settings are then written and
    // applied).
    static bool Execute(HWND owner, OptionsHost& host, ui::ColorChooser& chooser);

    // Creates the window, hidden, and fills it from the host (FormCreate). False when the
    // platform refuses a window.
    bool Create(HWND owner);
    // Shows the dialog and runs it until it closes; the window is destroyed on return. A
    // WM_QUIT taken meanwhile ends it as Cancel and is posted again for the outer loop.
    OptionResult ShowModal();

    // The component's window (the swatches' too); nullptr before Create or after closing.
    HWND Part(OptionPart part) const { return parts_[static_cast<size_t>(part)]; }
    // The swatches: tag 0 the window colour, tag 1 the time colour; nullptr once freed.
    TKButtonWindow* Swatch(int tag) const;
    // What the controls show now.
    OptionControls ReadControls() const;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    HBRUSH BackgroundBrush() override { return faceBrush_.Get(); }

private:
    bool CreateComponents();
    void NameFromCaptions();
    void FormCreate();
    void ColorButtonClick(int tag);
    void ButtonOkClick();
    void ImageVoiceClick();
    void FormClose();
    void OnCommand(int id, int code);
    void Close(OptionResult result);

    OptionsHost& host_;
    SwatchColors& colors_;
    HWND owner_ = nullptr;
    OptionValues valuesAtOpen_;
    OptionResult result_ = OptionResult::None;
    bool closing_ = false;  // OK or Cancel has begun; further closes are ignored
    bool ownerDisabled_ = false;
    HWND lastFocus_ = nullptr;  // the focused control while another window is active

    ui::Brush faceBrush_;
    ui::Font formFont_;   // Tahoma, 11 px
    ui::Font titleFont_;  // Arial, 19 px
    ui::Font smallFont_;  // MS UI Gothic, 12 px
    ui::Icon voiceIcon_;
    std::array<HWND, static_cast<size_t>(OptionPart::Count)> parts_{};
    ui::Panel panelOptionSettings_, panelOptionColor_, panelOptionVolume_;
    std::array<ui::Label, static_cast<size_t>(OptionPart::Count)> labels_;  // by part
    ui::CheckBox checkBoxAutoStart_;
    ui::EditComboBox comboBoxFontName_, comboBoxTimeLabel_;
    ui::ComboBox comboBoxAlarmLine_, comboBoxFontSize_, comboBoxVolAlarm_, comboBoxVolVoice_;
    std::unique_ptr<TKButtonWindow> buttonFormColor_, buttonTimeColor_;
};

// The installed font family names as the font list shows them (see FontNameList).
std::vector<std::u16string> InstalledFontNames();

}  // namespace movrek
