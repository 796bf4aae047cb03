#include "app/PanelChoices.h"

#include "app/S01.h"

namespace movrek {

void ViewedChoiceList::SetItems(const std::vector<std::u16string>& items) {
    MemoryChoiceList::SetItems(items);
    if (view_) view_->SetItems(items);
}

void ViewedChoiceList::Select(int index) {
    MemoryChoiceList::Select(index);
    if (view_) view_->Select(Selected());
}

void ViewedChoiceList::AttachView(ChoiceList& view) {
    view_ = &view;
    view.SetItems(Items());
    view.Select(Selected());
}

void ViewedChoiceList::TakeFromView() {
    if (view_) MemoryChoiceList::Select(view_->Selected());
}

PanelChoices::PanelChoices() {
    BeforeSound.SetItems(BeforeSoundItems());
    StartSound.SetItems(StartSoundItems());
    PassSound.SetItems(PassSoundItems());
}

bool PanelChoices::AttachRowsTo(talarm& alarm) {
    bool all = true;
    for (int i = 0; i < talarm::Rows; ++i) {
        auto& r = rows_[static_cast<size_t>(i)];
        all = alarm.AttachRow(i, {&r[0], &r[1], &r[2], &r[3], &r[4]}) && all;
    }
    return all;
}

}  // namespace movrek
