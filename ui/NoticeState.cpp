#include "ui/NoticeState.h"

#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsFrame.h"

namespace kestrel {

NoticeState::Effects NoticeState::OnNewNews(std::string_view list, int maxGroups, bool soundOn,
                                            bool popupOn, bool present) {
    if (m_newGroups.empty()) {
        m_newGroups = std::string(list);
    } else {
        // Each name runs up to and including its blank; a name already listed is not repeated.
        size_t pos = 0;
        for (int taken = 0; pos < list.size() && taken < maxGroups; ++taken) {
            size_t blank = list.find(' ', pos);
            const size_t end = blank == std::string_view::npos ? list.size() : blank + 1;
            std::string name(list.substr(pos, end - pos));
            if (name.back() != ' ') name += ' ';
            if (name != " " && m_newGroups.find(name) == std::string::npos) m_newGroups += name;
            pos = end;
        }
    }
    Effects fx;
    if (m_newGroups.empty()) return fx;
    fx.playSound = soundOn;
    m_newsPending = 1;
    fx.icon = m_mailPending ? IDI_NEWS_AND_MAIL : IDI_NEWS;
    fx.postNotice = popupOn && present;
    return fx;
}

NoticeState::Effects NoticeState::OnUnreadMail(unsigned count, bool soundOn, bool popupOn,
                                               bool present) {
    Effects fx;
    if (m_mailPending) {
        if (count == 0) {
            m_mailPending = 0;
            fx.icon = m_newsPending ? IDI_NEWS : IDI_RUNNING;
        }
    } else if (count > 0) {
        m_mailPending = 1;
        fx.playSound = soundOn;
        fx.icon = m_newsPending ? IDI_NEWS_AND_MAIL : IDI_MAIL;
        fx.postNotice = popupOn && present;
    }
    m_unreadCount = count;
    return fx;
}

NoticeState::Popup NoticeState::ChoosePopup() const {
    if (m_newsPending && m_mailPending) return Popup::NewsAndMail;
    if (m_newsPending) return Popup::News;
    if (m_mailPending) return Popup::Mail;
    return Popup::None;
}

std::string NoticeState::MailText() const {
    return sjis(txt::kMailTextHead) + std::to_string(m_unreadCount) + sjis(txt::kMailTextTail);
}

int NoticeState::AfterPopupClosed(bool serviceRunning) {
    m_newsPending = 0;
    m_mailPending = 0;
    m_newGroups.clear();
    m_unreadCount = 0;
    return serviceRunning ? IDI_RUNNING : IDI_STOPPED;
}

}  // namespace kestrel
