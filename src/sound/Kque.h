// The phrase queue: a fixed ring of clip paths waiting to be played, oldest first. It never
// grows; when it is full a new path is dropped. One cell always stays free, so a queue of
// capacity n holds at most n - 1 paths.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace movrek {

// One cell of the ring: a copy of one path.
class kqcell {
public:
    std::u16string Text;
};

class kque {
public:
    // A capacity below 1 is taken as 1 (a queue that never holds anything) so that the ring
    // arithmetic never divides by zero.
    explicit kque(int capacity);

    kque(const kque&) = delete;
    kque& operator=(const kque&) = delete;

    // Stores a copy of text, or drops it without a word when the queue is full.
    void Put(std::u16string_view text);
    // The oldest stored text, removed from the queue; the empty string when there is none.
    std::u16string Get();
    // Discards everything stored at once; the cells keep their old copies until overwritten.
    void Clear();

    int Capacity() const { return capacity_; }

private:
    std::vector<kqcell> cells_;
    int capacity_;
    int head_ = 0;  // next cell Get reads
    int tail_ = 0;  // next cell Put fills
};

}  // namespace movrek
