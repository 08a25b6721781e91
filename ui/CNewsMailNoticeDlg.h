#pragma once

#include <string>

#include "ui/NewsNoticeDlg.h"

namespace kestrel {

// Popup 145: news and mail are both pending.
class CNewsMailNoticeDlg final : public NewsNoticeDlg {
public:
    explicit CNewsMailNoticeDlg(ReaderLauncher& launcher, QWidget* parent = nullptr);
    // "新しいメールを受信しました\n(未読メールは" + count + "件です)" (CP932).
    void SetMailText(const std::string& text) { m_mailText = text; }

private:
    void InitNotice() override;
    void OnReceiveMail();

    std::string m_mailText;
    QLabel* m_mail = nullptr;
};

}  // namespace kestrel
