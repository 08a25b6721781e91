#pragma once

#include <string>

namespace kestrel {

// Runs one of the three notification popups modally; returns when it has closed. Texts are
// CP932. The frame uses the real dialogs; tests record the calls.
class NoticePresenter {
public:
    virtual ~NoticePresenter() = default;
    virtual void ShowNewsAndMail(const std::string& groups, const std::string& mailText) = 0;
    virtual void ShowNews(const std::string& groups) = 0;
    virtual void ShowMail(const std::string& mailText) = 0;
};

// Plays the notification sound once, asynchronously.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Play(const std::string& file) = 0;  // CP932 path
};

}  // namespace kestrel
