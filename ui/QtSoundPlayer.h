#pragma once

#include <memory>

#include "ui/NoticePresenter.h"

class QSoundEffect;

namespace kestrel {

// The notification sound through Qt Multimedia. A missing or unplayable file is silent.
class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void Play(const std::string& file) override;

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

}  // namespace kestrel
