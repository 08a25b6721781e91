#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// What the frame keeps about pending news and mail, and what each report makes it do. Plain
// code so the rules are tested without windows.
class NoticeState {
public:
    struct Effects {
        bool playSound = false;
        int icon = 0;  // icon to show; 0 = no change
        bool postNotice = false;
    };
    enum class Popup { None, NewsAndMail, News, Mail };

    Effects OnNewNews(std::string_view list, int maxGroups, bool soundOn, bool popupOn,
                      bool present);
    Effects OnUnreadMail(unsigned count, bool soundOn, bool popupOn, bool present);
    void OnServiceStopped() { m_newsPending = m_mailPending = 0; }

    Popup ChoosePopup() const;
    // "新しいメールを受信しました\n(未読メールは" + count + "件です)" in CP932.
    std::string MailText() const;
    // After a popup closed, whatever the button: everything is forgotten; the icon to show.
    int AfterPopupClosed(bool serviceRunning);

    int NewsPending() const { return m_newsPending; }
    int MailPending() const { return m_mailPending; }
    const std::string& NewGroups() const { return m_newGroups; }
    unsigned UnreadCount() const { return m_unreadCount; }

private:
    int m_newsPending = 0;
    int m_mailPending = 0;
    std::string m_newGroups;
    unsigned m_unreadCount = 0;
};

}  // namespace kestrel
