// The selections of the settings panel: its three lists (count-in, start phrase, elapsed-time
// announcement) and the five lists of each of the ten alarm rows. They live in memory from
// the settings load to the save, and the engine and the alarm rows read them there; the
// panel's drop-down lists are only their views, made the first time the panel is shown, so
// a run that never opens the panel never builds them.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "app/Talarm.h"
#include "platform/ChoiceList.h"

namespace movrek {

// A list kept in memory and, once a view is attached, shown by it: every change made here
// goes on to the view, and the view's owner hands back what the user picks (TakeFromView).
class ViewedChoiceList : public MemoryChoiceList {
public:
    void SetItems(const std::vector<std::u16string>& items) override;
    void Select(int index) override;

    // Fills the view with the items and the selection; from now on it follows this list.
    // The view must outlive this list or be detached first.
    void AttachView(ChoiceList& view);
    void DetachView() { view_ = nullptr; }
    bool HasView() const { return view_ != nullptr; }
    // The user changed the view's selection: this list takes it as it is.
    void TakeFromView();

private:
    ChoiceList* view_ = nullptr;
};

class PanelChoices {
public:
    // The three panel lists with their items; the rows' items come from the alarm rows'
    // Populate, once the rows are attached.
    PanelChoices();
    PanelChoices(const PanelChoices&) = delete;
    PanelChoices& operator=(const PanelChoices&) = delete;

    // Hands every row's five lists to the alarm rows, which must not outlive this object.
    bool AttachRowsTo(talarm& alarm);

    ViewedChoiceList& Row(int row, AlarmField field) {
        return rows_[static_cast<size_t>(row)][static_cast<size_t>(field)];
    }

    ViewedChoiceList BeforeSound;
    ViewedChoiceList StartSound;
    ViewedChoiceList PassSound;

private:
    std::array<std::array<ViewedChoiceList, 5>, talarm::Rows> rows_;
};

}  // namespace movrek
