#include "settings_ui/CCommunicatorDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "settings/InputChecks.h"
#include "ui/DialogKit.h"

namespace kestrel {

CCommunicatorDlg::CCommunicatorDlg(MessageBoxes& boxes, QWidget* parent)
    : SettingsDlg(boxes, "CCommunicatorDlg", IDD_COMMUNICATOR, txt::kCommunicatorCaption, parent) {
    auto* group = new QGroupBox;
    auto* inner = new QGridLayout(group);
    const char* chatText = txt::kCommPeerChat;
    while (*chatText == ' ') ++chatText;
    m_chat = MakeCheck(1024, chatText);
    inner->addWidget(m_chat, 0, 0, 1, 4);

    m_memberServer = MakeCheck(1055, txt::kCommMemberServer);
    m_memberServer->setEnabled(false);
    m_serverName = MakeEdit(1006);
    m_serverName->setText(QString::fromUtf8(txt::kCommNoSupport));
    m_serverName->setEnabled(false);
    m_serverPort = MakeEdit(1021);
    m_serverPort->setText(QStringLiteral("0"));
    m_serverPort->setEnabled(false);
    inner->addWidget(m_memberServer, 1, 0);
    inner->addWidget(m_serverName, 1, 1);
    inner->addWidget(new QLabel(QString::fromUtf8(txt::kPortLabel)), 1, 2);
    inner->addWidget(m_serverPort, 1, 3);

    m_chatPort = MakeEdit(1022);
    m_nickname = MakeEdit(1023);
    inner->addWidget(new QLabel(QString::fromUtf8(txt::kCommChatPortLabel)), 2, 0, 1, 3);
    inner->addWidget(m_chatPort, 2, 3);
    inner->addWidget(new QLabel(QString::fromUtf8(txt::kCommNicknameLabel)), 3, 0, 1, 2);
    inner->addWidget(m_nickname, 3, 2, 1, 2);
    for (QLineEdit* port : {m_serverPort, m_chatPort})
        port->setMaximumWidth(DialogUnits(font()).X(40));

    auto* rows = new QGridLayout;
    rows->addWidget(group, 0, 0);
    SetRowsAndButtons(this, rows);

    m_binder.Check(m_chat, key::Chating);
    m_binder.Number(m_chatPort, key::ChatPort);
    m_binder.Text(m_nickname, key::AliaseName);

    for (QCheckBox* box : {m_chat, m_memberServer})
        connect(box, &QCheckBox::clicked, this, &CCommunicatorDlg::UpdateEnabling);
    UpdateEnabling();
}

void CCommunicatorDlg::UpdateEnabling() {
    const bool chat = m_chat->isChecked();
    const bool server = chat && m_memberServer->isChecked();
    m_serverName->setEnabled(server);
    m_serverPort->setEnabled(server);
    m_nickname->setEnabled(chat);
    m_chatPort->setEnabled(chat);
}

bool CCommunicatorDlg::AfterTake(ViewSettings& taken) {
    if (!IsAcceptedNickname(taken.AliaseName)) {
        m_boxes.Show(sjis(txt::kCommBadNickname), sjis(txt::kSettingsCaution), BoxIcon::Stop,
                     BoxButtons::Ok);
        m_nickname->setFocus();
        m_nickname->selectAll();
        return false;
    }
    // The running chat keeps its settings until the next start; say so at every OK.
    m_boxes.Show(sjis(txt::kCommRestartNotice), sjis(txt::kCommRestartCaption),
                 BoxIcon::Information, BoxButtons::Ok);
    return true;
}

}  // namespace kestrel
