// The selection-only list seam: a drop-down list whose items are texts and whose selection is
// an index, -1 for none. On Windows a CBS_DROPDOWNLIST combo box; in tests a plain object.
#pragma once
#include <string>
#include <vector>

namespace movrek {

class ChoiceList {
public:
    virtual ~ChoiceList() = default;
    virtual void SetItems(const std::vector<std::u16string>& items) = 0;
    virtual int Count() const = 0;
    virtual int Selected() const = 0;      // -1 when nothing is selected
    virtual void Select(int index) = 0;    // an index outside the items clears the selection
};

// A list held in memory, for portable code's tests.
class MemoryChoiceList : public ChoiceList {
public:
    void SetItems(const std::vector<std::u16string>& items) override {
        items_ = items;
        selected_ = -1;
    }
    int Count() const override { return static_cast<int>(items_.size()); }
    int Selected() const override { return selected_; }
    void Select(int index) override { selected_ = (index >= 0 && index < Count()) ? index : -1; }
    const std::vector<std::u16string>& Items() const { return items_; }

private:
    std::vector<std::u16string> items_;
    int selected_ = -1;
};

}  // namespace movrek
