// The user-message seam as the tests see it. Portable and free of the test framework: the fuzz
// targets use it too.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/UserMessages.h"
#include "platform/Utf.h"

namespace movrek::test {

// Keeps what was shown. Given an event log it also writes each message and beep there, in
// order with what else the test records; such a test stands for the announcer's world, where
// the sound folder holds every clip unless it is listed missing. Without a log no file exists.
class RecordingMessages : public UserMessages {
public:
    RecordingMessages() = default;
    explicit RecordingMessages(std::vector<std::string>& log) : filesExist(true), log_(&log) {}

    void ShowMessage(std::u16string_view text) override {
        shown.emplace_back(text);
        if (log_) log_->push_back("message " + ToUtf8(text));
        // A modal box runs the message loop: let a test act as the loop would meanwhile.
        if (whileShown) {
            auto loop = std::move(whileShown);
            whileShown = nullptr;
            loop();
        }
    }
    void Beep(int frequencyHz, int durationMs) override {
        if (log_) log_->push_back("beep " + std::to_string(frequencyHz) + " " + std::to_string(durationMs));
    }
    bool FileExists(std::u16string_view path) override {
        return filesExist && missing.count(std::u16string(path)) == 0;
    }

    std::vector<std::u16string> shown;
    bool filesExist = false;
    std::set<std::u16string> missing;
    std::function<void()> whileShown;

private:
    std::vector<std::string>* log_ = nullptr;
};

}  // namespace movrek::test
