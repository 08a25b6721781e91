#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/MessageBoxes.h"
#include "res/Cp932.h"

namespace kestrel::test {

// Records every box and answers from a script; without a scripted answer it takes the
// first button (OK or Yes).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        std::string text;     // CP932
        std::string caption;  // CP932
        BoxIcon icon;
        BoxButtons buttons;
        std::string textUtf8() const { return cp932ToUtf8(text); }
        std::string captionUtf8() const { return cp932ToUtf8(caption); }
    };

    BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                   BoxButtons buttons) override {
        boxes.push_back({text, caption, icon, buttons});
        if (whileShown) whileShown(boxes.back());
        if (!answers.empty()) {
            BoxAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == BoxButtons::Ok || buttons == BoxButtons::OkCancel ? BoxAnswer::Ok
                                                                            : BoxAnswer::Yes;
    }

    std::vector<Box> boxes;
    std::deque<BoxAnswer> answers;
    // What the user does while a box is up (before answering it).
    std::function<void(const Box&)> whileShown;
};

}  // namespace kestrel::test
