#pragma once

#include <string>

#include "ui/NoticeDlg.h"

namespace kestrel {

// Popup 134: only mail is pending.
class CMailNoticeDlg final : public NoticeDlg {
public:
    explicit CMailNoticeDlg(ReaderLauncher& launcher, QWidget* parent = nullptr);
    // "新しいメールを受信しました\n(未読メールは" + count + "件です)" (CP932).
    void SetMailText(const std::string& text) { m_mailText = text; }

private:
    void InitNotice() override;
    void OnReceiveMail();

    std::string m_mailText;
    QLabel* m_mail = nullptr;
};

}  // namespace kestrel
