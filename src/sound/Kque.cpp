#include "sound/Kque.h"

namespace movrek {

kque::kque(int capacity) : capacity_(capacity < 1 ? 1 : capacity) {
    cells_.resize(static_cast<size_t>(capacity_));
}

void kque::Put(std::u16string_view text) {
    const int next = (tail_ + 1) % capacity_;
    if (next == head_) return;  // full: the newest phrase is the one that gives way
    cells_[static_cast<size_t>(tail_)].Text.assign(text);
    tail_ = next;
}

std::u16string kque::Get() {
    if (head_ == tail_) return std::u16string();
    std::u16string text = cells_[static_cast<size_t>(head_)].Text;
    head_ = (head_ + 1) % capacity_;
    return text;
}

void kque::Clear() { tail_ = head_; }

}  // namespace movrek
