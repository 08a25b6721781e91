#include "ui/QtSoundPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "platform/QtText.h"

namespace kestrel {

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::Play(const std::string& file) {
    const QString path = fromSjis(file);
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    // Made on first use: the audio back end is only woken when there is something to play.
    if (!m_effect) m_effect = std::make_unique<QSoundEffect>();
    const QUrl url = QUrl::fromLocalFile(path);
    if (m_effect->source() != url) m_effect->setSource(url);
    m_effect->play();
}

}  // namespace kestrel
