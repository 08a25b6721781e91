#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "settings/SettingsDialogs.h"
#include "settings/ViewSettings.h"

namespace kestrel::test {

// Answers the view's settings dialogs from a script: each answer edits the copy it is given
// and says whether the user pressed OK. Without an answer the dialog is cancelled.
class ScriptedSettingsDialogs final : public SettingsDialogs {
public:
    using Answer = std::function<bool(ViewSettings&)>;

    bool Run(SettingsDialogKind kind, ViewSettings& values, bool serviceRunning) override {
        shown.push_back({kind, serviceRunning});
        if (answers.empty()) return false;
        Answer answer = std::move(answers.front());
        answers.pop_front();
        return answer(values);
    }

    struct Shown {
        SettingsDialogKind kind;
        bool serviceRunning;
    };
    std::vector<Shown> shown;
    std::deque<Answer> answers;
};

}  // namespace kestrel::test
