#include "settings_ui/CEnvironmentDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/MessageBoxes.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsSettingsDlg.h"
#include "settings_ui/FileChooser.h"
#include "ui/DialogKit.h"

namespace kestrel {
namespace {

QLabel* Label(const char* textUtf8) {
    return new QLabel(QString::fromUtf8(textUtf8));
}

// The group caption texts leave room for the check box drawn over them; here the box
// carries the text itself.
const char* Trimmed(const char* textUtf8) {
    while (*textUtf8 == ' ') ++textUtf8;
    return textUtf8;
}

// A drop-down (the TLS choice of a server, the mail protocol): the items' indexes are the
// stored values.
QComboBox* StoredChoice(int id, std::initializer_list<const char*> itemsUtf8) {
    auto* combo = new QComboBox;
    combo->setObjectName(QStringLiteral("combo%1").arg(id));
    for (const char* item : itemsUtf8) combo->addItem(QString::fromUtf8(item));
    return combo;
}

}  // namespace

CEnvironmentDlg::CEnvironmentDlg(MessageBoxes& boxes, FileChooser& files, QWidget* parent)
    : SettingsDlg(boxes, "CEnvironmentDlg", IDD_ENVIRONMENT, txt::kEnvironmentCaption, parent),
      m_files(files) {
    auto* rows = new QGridLayout;

    QLineEdit* user = MakeEdit(1003);
    AddFieldRow(rows, txt::kEnvUserLabel, user);

    // News: the check, the server and its port, the reader kind and program.
    auto* news = new QGroupBox;
    auto* newsRows = new QGridLayout(news);
    m_newsCheck = MakeCheck(1000, Trimmed(txt::kEnvNewsCheck));
    newsRows->addWidget(m_newsCheck, 0, 0, 1, 6);
    m_nntpServer = MakeEdit(1009);
    m_nntpPort = MakeEdit(1016);
    newsRows->addWidget(Label(txt::kEnvNNTPServerLabel), 1, 0);
    newsRows->addWidget(m_nntpServer, 1, 1);
    newsRows->addWidget(Label(txt::kPortLabel), 1, 2);
    newsRows->addWidget(m_nntpPort, 1, 3);
    m_nntpSecurity = StoredChoice(
        1040, {txt::kEnvSecurityNone, txt::kEnvNNTPStartTls, txt::kEnvNNTPTlsOnConnect});
    newsRows->addWidget(Label(txt::kEnvSecurityLabel), 1, 4);
    newsRows->addWidget(m_nntpSecurity, 1, 5);
    newsRows->addWidget(Label(txt::kEnvNewsReaderLabel), 2, 0);
    auto* newsKinds = new QHBoxLayout;
    m_newsReaders = new QButtonGroup(this);
    const std::pair<int, const char*> newsButtons[] = {{1004, txt::kEnvNetScape},
                                                       {1005, txt::kEnvWinVN},
                                                       {1006, txt::kEnvOthers},
                                                       {1050, txt::kEnvDesktopReader}};
    for (int value = 0; const auto& [id, text] : newsButtons) {
        QRadioButton* radio = MakeRadio(id, text);
        m_newsReaders->addButton(radio, value++);
        newsKinds->addWidget(radio);
    }
    newsKinds->addStretch();
    newsRows->addLayout(newsKinds, 2, 1, 1, 5);
    m_newsFile = MakeEdit(1007);
    m_newsBrowse = MakeButton(1008, txt::kBrowse);
    newsRows->addWidget(Label(txt::kEnvNewsFileLabel), 3, 0);
    newsRows->addWidget(m_newsFile, 3, 1, 1, 4);
    newsRows->addWidget(m_newsBrowse, 3, 5);
    rows->addWidget(news, rows->rowCount(), 0, 1, 2);

    // Mail: the POP server and port also serve the log-in, so they never grey.
    auto* mail = new QGroupBox;
    auto* mailRows = new QGridLayout(mail);
    m_mailCheck = MakeCheck(1001, Trimmed(txt::kEnvMailCheck));
    mailRows->addWidget(m_mailCheck, 0, 0, 1, 6);
    QLineEdit* popServer = MakeEdit(1012);
    QLineEdit* popPort = MakeEdit(1018);
    mailRows->addWidget(Label(txt::kEnvPOPServerLabel), 1, 0);
    mailRows->addWidget(popServer, 1, 1);
    mailRows->addWidget(Label(txt::kPortLabel), 1, 2);
    mailRows->addWidget(popPort, 1, 3);
    QComboBox* popSecurity =
        StoredChoice(1039, {txt::kEnvSecurityNone, txt::kEnvPOPStartTls, txt::kEnvPOPTlsOnConnect});
    mailRows->addWidget(Label(txt::kEnvSecurityLabel), 1, 4);
    mailRows->addWidget(popSecurity, 1, 5);
    QComboBox* mailProtocol =
        StoredChoice(1047, {txt::kEnvMailProtocolPop3, txt::kEnvMailProtocolImap});
    mailRows->addWidget(Label(txt::kEnvMailProtocolLabel), 1, 6);
    mailRows->addWidget(mailProtocol, 1, 7);
    mailRows->addWidget(Label(txt::kEnvMailReaderLabel), 2, 0);
    auto* mailKinds = new QHBoxLayout;
    m_mailReaders = new QButtonGroup(this);
    const std::pair<int, const char*> mailButtons[] = {{1010, txt::kEnvNetScape},
                                                       {1011, txt::kEnvAlMail},
                                                       {1015, txt::kEnvDenshin8},
                                                       {1017, txt::kEnvOthers},
                                                       {1051, txt::kEnvDesktopReader}};
    for (int value = 0; const auto& [id, text] : mailButtons) {
        QRadioButton* radio = MakeRadio(id, text);
        m_mailReaders->addButton(radio, value++);
        mailKinds->addWidget(radio);
    }
    mailKinds->addStretch();
    mailRows->addLayout(mailKinds, 2, 1, 1, 5);
    m_mailFile = MakeEdit(1013);
    m_mailBrowse = MakeButton(1014, txt::kBrowse);
    mailRows->addWidget(Label(txt::kEnvMailFileLabel), 3, 0);
    mailRows->addWidget(m_mailFile, 3, 1, 1, 4);
    mailRows->addWidget(m_mailBrowse, 3, 5);
    rows->addWidget(mail, rows->rowCount(), 0, 1, 2);

    // The CA file both checks and the log-in trust besides the system's store.
    QLineEdit* caFile = MakeEdit(1041);
    QPushButton* caBrowse = MakeButton(1042, txt::kBrowse);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(Label(txt::kEnvCAFileLabel));
    caRow->addWidget(caFile, 1);
    caRow->addWidget(caBrowse);
    rows->addLayout(caRow, rows->rowCount(), 0, 1, 2);

    // Identity queries and the password.
    auto* other = new QGridLayout;
    m_identify = MakeCheck(1002, Trimmed(txt::kEnvIdentify));
    m_authPort = MakeEdit(1019);
    other->addWidget(m_identify, 0, 0);
    other->addWidget(Label(txt::kEnvAuthPortLabel), 0, 1);
    other->addWidget(m_authPort, 0, 2);
    QCheckBox* passwdCheck = MakeCheck(1038, Trimmed(txt::kEnvPasswdCheck));
    QLineEdit* pswdPort = MakeEdit(1020);
    other->addWidget(passwdCheck, 1, 0);
    other->addWidget(Label(txt::kEnvPswdPortLabel), 1, 1);
    other->addWidget(pswdPort, 1, 2);
    rows->addLayout(other, rows->rowCount(), 0, 1, 2);
    SetRowsAndButtons(this, rows);

    for (QLineEdit* port : {m_nntpPort, popPort, m_authPort, pswdPort})
        port->setMaximumWidth(DialogUnits(font()).X(40));
    // The TLS choices share the server rows; a server name still shows whole.
    for (QLineEdit* server : {m_nntpServer, popServer})
        server->setMinimumWidth(DialogUnits(font()).X(104));
    newsRows->setColumnStretch(1, 1);
    mailRows->setColumnStretch(1, 1);

    m_binder.Text(user, key::DefaultUserId);
    m_binder.Text(m_newsFile, key::NewsFile);
    m_binder.Text(m_nntpServer, key::NNTPServer);
    m_binder.Text(popServer, key::POPServer);
    m_binder.Check(m_newsCheck, key::NewsCheck);
    m_binder.Check(m_mailCheck, key::MailCheck);
    m_binder.Check(m_identify, key::Identify);
    m_binder.Radio(m_mailReaders, key::MailReader);
    m_binder.Radio(m_newsReaders, key::NewsReader);
    m_binder.Text(m_mailFile, key::MailFile);
    m_binder.Check(passwdCheck, key::PasswdCheck);
    m_binder.Number(m_authPort, key::AUTHPort);
    m_binder.Number(m_nntpPort, key::NNTPPort);
    m_binder.Number(popPort, key::POPPort);
    m_binder.Number(pswdPort, key::PSWDPort);
    m_binder.Choice(popSecurity, key::POPSecurity);
    m_binder.Choice(mailProtocol, key::MailProtocol);
    m_binder.Choice(m_nntpSecurity, key::NNTPSecurity);
    m_binder.Text(caFile, key::TLSCAFile);

    for (QCheckBox* box : {m_newsCheck, m_mailCheck, m_identify})
        connect(box, &QCheckBox::clicked, this, &CEnvironmentDlg::UpdateEnabling);
    for (QButtonGroup* readers : {m_newsReaders, m_mailReaders})
        connect(readers, &QButtonGroup::idClicked, this, &CEnvironmentDlg::UpdateEnabling);
    connect(m_newsBrowse, &QPushButton::clicked, this, [this] { Browse(m_newsFile); });
    connect(m_mailBrowse, &QPushButton::clicked, this, [this] { Browse(m_mailFile); });
    connect(caBrowse, &QPushButton::clicked, this, [this, caFile] { Browse(caFile); });
    UpdateEnabling();
}

void CEnvironmentDlg::UpdateEnabling() {
    const bool news = m_newsCheck->isChecked();
    for (QAbstractButton* radio : m_newsReaders->buttons()) radio->setEnabled(news);
    for (QWidget* w : std::initializer_list<QWidget*>{m_nntpServer, m_nntpPort, m_nntpSecurity})
        w->setEnabled(news);
    // The desktop's own application needs no program.
    const bool newsProgram = news && m_newsReaders->checkedId() != kNewsReaderDesktop;
    m_newsFile->setEnabled(newsProgram);
    m_newsBrowse->setEnabled(newsProgram);
    const bool mail = m_mailCheck->isChecked();
    for (QAbstractButton* radio : m_mailReaders->buttons()) radio->setEnabled(mail);
    const bool mailProgram = mail && m_mailReaders->checkedId() != kMailReaderDesktop;
    m_mailFile->setEnabled(mailProgram);
    m_mailBrowse->setEnabled(mailProgram);
    m_authPort->setEnabled(m_identify->isChecked());
}

void CEnvironmentDlg::Browse(QLineEdit* edit) {
    // Programs here carry no ".exe", and a CA file may have any name; the dialog lists every
    // file.
    if (std::optional<QString> path = m_files.Choose(this, QString())) edit->setText(*path);
}

bool CEnvironmentDlg::BeforeTake() {
    if (!m_running) return true;
    return m_boxes.Show(sjis(txt::kEnvLogoutQuestion), sjis(txt::kEnvLogoutCaption),
                        BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes;
}

}  // namespace kestrel
