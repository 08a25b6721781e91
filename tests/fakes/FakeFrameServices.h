#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ui/NoticePresenter.h"

namespace kestrel::test {

// Records the popups the frame opens; each returns at once, as if closed.
class RecordingNoticePresenter final : public NoticePresenter {
public:
    struct Shown {
        char kind;  // 'B' news and mail, 'N' news, 'M' mail
        std::string groups;
        std::string mailText;
    };
    void ShowNewsAndMail(const std::string& g, const std::string& m) override {
        shown.push_back({'B', g, m});
    }
    void ShowNews(const std::string& g) override { shown.push_back({'N', g, {}}); }
    void ShowMail(const std::string& m) override { shown.push_back({'M', {}, m}); }
    std::vector<Shown> shown;
};

class RecordingSoundPlayer final : public SoundPlayer {
public:
    void Play(const std::string& file) override { played.push_back(file); }
    std::vector<std::string> played;
};

}  // namespace kestrel::test
