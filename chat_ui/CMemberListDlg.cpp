#include "chat_ui/CMemberListDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "chat/MemberRecord.h"
#include "chat_ui/CPeerChatDlg.h"
#include "chat_ui/ChatLists.h"
#include "chat_ui/ChatWindowHost.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char* textUtf8, const QRect& where) {
    auto* button = new QPushButton(QString::fromUtf8(textUtf8), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setGeometry(where);
    return button;
}

bool Contains(const std::vector<std::string>& list, const std::string& key) {
    return std::find(list.begin(), list.end(), key) != list.end();
}

}  // namespace

CMemberListDlg::CMemberListDlg(ChatWindowHost& host, CPeerChat* chat, MessageBoxes& boxes,
                               int autoUpdate, const Timing& timing, QWidget* parent)
    : ChatDialog(260, 222, txt::kMemberListCaption, parent),
      m_host(host),
      m_chat(chat),
      m_boxes(boxes),
      m_timing(timing),
      m_timers([this](int id) { OnTimer(id); }) {
    setObjectName(QStringLiteral("memberList"));
    setModal(false);
    (new QLabel(QString::fromUtf8(txt::kMemberListParticipants), this))
        ->setGeometry(Dlu(7, 6, 60, 8));
    m_participants = new QListWidget(this);
    m_participants->setObjectName(QStringLiteral("participants1041"));
    m_participants->setSortingEnabled(true);
    m_participants->setFont(MemberLineFont());
    m_participants->setGeometry(Dlu(7, 16, 246, 100));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("count1068"));
    m_count->setGeometry(Dlu(170, 6, 83, 8));
    m_register = Button(this, "register1048", txt::kMemberListRegister, Dlu(7, 121, 70, 14));
    m_unregister = Button(this, "unregister1049", txt::kMemberListUnregister, Dlu(82, 121, 70, 14));
    m_autoUpdate = new QCheckBox(QString::fromUtf8(txt::kMemberListAutoUpdate), this);
    m_autoUpdate->setObjectName(QStringLiteral("autoUpdate1072"));
    m_autoUpdate->setChecked(autoUpdate != 0);
    m_autoUpdate->setGeometry(Dlu(200, 122, 53, 12));
    (new QLabel(QString::fromUtf8(txt::kMemberListWaiting), this))->setGeometry(Dlu(7, 140, 60, 8));
    m_waiting = new QListWidget(this);
    m_waiting->setObjectName(QStringLiteral("waiting1047"));
    m_waiting->setSortingEnabled(true);
    m_waiting->setFont(MemberLineFont());
    m_waiting->setGeometry(Dlu(7, 150, 246, 44));
    m_refresh = Button(this, "refresh1018", txt::kMemberListRefresh, Dlu(7, 201, 60, 15));
    m_chatButton = Button(this, "chat1", txt::kMemberListChat, Dlu(127, 201, 60, 15));
    m_chatButton->setDefault(true);
    m_close = Button(this, "close2", txt::kClose, Dlu(193, 201, 60, 15));

    connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_autoUpdate, &QCheckBox::clicked, this, [this] { OnAutoUpdate(); });
    connect(m_register, &QPushButton::clicked, this, [this] { Register(); });
    connect(m_unregister, &QPushButton::clicked, this, [this] { Unregister(); });
    connect(m_chatButton, &QPushButton::clicked, this, [this] { ChatWithSelection(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    InitialFill();
}

int CMemberListDlg::AutoUpdate() const {
    return m_autoUpdate->isChecked() ? 1 : 0;
}

void CMemberListDlg::ShowCount() {
    const std::string text = sjis(txt::kMemberCount) + std::to_string(m_participants->count());
    m_count->setText(QString::fromStdString(cp932ToUtf8(text)));
}

void CMemberListDlg::InitialFill() {
    ShowCount();
    if (!m_chat) return;
    Rebuild();
    m_refresh->setText(QString::fromUtf8(txt::kMemberListRefresh));
}

void CMemberListDlg::Rebuild() {
    if (!m_chat) return;
    std::vector<MemberRecord> members;
    m_chat->Snapshot(members);
    m_participants->clear();
    for (const auto& member : members)
        chatlist::Add(*m_participants, MemberListLine(member), MemberListLineText(member));
    RebuildSeatWait(members);
    ShowCount();
}

void CMemberListDlg::RebuildSeatWait(const std::vector<MemberRecord>& members) {
    m_waiting->clear();
    for (const auto& member : members)
        if (Contains(m_chat->SeatWait(), MemberKey(member)))
            chatlist::Add(*m_waiting, MemberListLine(member), MemberListLineText(member));
}

void CMemberListDlg::Refresh() {
    if (!m_chat) return;
    m_participants->clear();
    m_chat->Refresh();
    ShowCount();
    m_refresh->setText(QString::fromUtf8(txt::kMemberListRefreshing));
    m_timers.SetTimer(TIMER_MEMBER_REFRESH, m_timing.memberRefreshMs);
}

void CMemberListDlg::OnTimer(int id) {
    if (id != TIMER_MEMBER_REFRESH) return;
    m_timers.KillTimer(TIMER_MEMBER_REFRESH);
    m_refresh->setText(QString::fromUtf8(txt::kMemberListRefresh));
    Rebuild();
}

void CMemberListDlg::OnAutoUpdate() {
    if (m_autoUpdate->isChecked()) {
        m_register->setEnabled(true);
        Rebuild();
    } else {
        m_register->setEnabled(false);
    }
}

void CMemberListDlg::customEvent(QEvent* e) {
    MessageEvent* message = asMessage(e);
    if (!message || message->message() != WM_MEMBER_EVENT) {
        ChatDialog::customEvent(e);
        return;
    }
    if (auto record = message->takeSecond<MemberRecord>())
        OnMemberEvent(static_cast<int>(message->wParam()), *record);
}

void CMemberListDlg::OnMemberEvent(int kind, const MemberRecord& record) {
    const std::string line = MemberListLine(record);
    const QString shown = MemberListLineText(record);
    const bool autoUpdate = m_autoUpdate->isChecked();
    if (kind == MEMBER_ADDED) {
        if (autoUpdate) chatlist::Add(*m_participants, line, shown);
    } else if (kind == MEMBER_UPDATED || kind == MEMBER_LEFT) {
        const std::string key = MemberKey(record);
        if (autoUpdate) {
            const int at = chatlist::FindContaining(*m_participants, key);
            if (at >= 0) {
                chatlist::Remove(*m_participants, at);
                if (kind == MEMBER_UPDATED) chatlist::Add(*m_participants, line, shown);
            }
        }
        if (m_chat) {
            const auto& waits = m_chat->SeatWait();
            const bool differs = waits.size() != static_cast<std::size_t>(m_waiting->count());
            const bool named = std::any_of(waits.begin(), waits.end(), [&](const std::string& w) {
                return Cp932Find(w, key) != std::string::npos;
            });
            if (differs || named) {
                std::vector<MemberRecord> members;
                m_chat->Snapshot(members);
                RebuildSeatWait(members);
            }
        }
    }
    ShowCount();
}

std::string CMemberListDlg::SelectedParticipant() const {
    return chatlist::SelectedLine(*m_participants);
}

std::string CMemberListDlg::SelectedWaiting() const {
    return chatlist::SelectedLine(*m_waiting);
}

void CMemberListDlg::Register() {
    if (!m_autoUpdate->isChecked()) {
        m_boxes.Show(sjis(txt::kAskAutoUpdate), sjis(txt::kCaptionRequest), BoxIcon::Warning);
        return;
    }
    const std::string line = SelectedParticipant();
    if (line.empty()) {
        m_boxes.Show(sjis(txt::kAskWaitMember), sjis(txt::kCaptionRequest), BoxIcon::Warning);
        return;
    }
    if (Cp932Find(line, "] " + sjis(txt::kMemberPresent)) != std::string::npos) {
        m_boxes.Show(sjis(txt::kPresentNotWaited), sjis(txt::kCaptionRequest), BoxIcon::Warning);
        return;
    }
    if (!m_chat) return;
    const std::string key = KeyOfLine(line);
    if (Contains(m_chat->SeatWait(), key)) {
        m_boxes.Show(sjis(txt::kAlreadyWaited), sjis(txt::kCaptionNotice), BoxIcon::None);
        return;
    }
    m_chat->SeatWait().push_back(key);
    const QList<QListWidgetItem*> chosen = m_participants->selectedItems();
    chatlist::Add(*m_waiting, line,
                  chosen.isEmpty() ? QString() : chatlist::ShownOf(chosen.front()));
}

void CMemberListDlg::Unregister() {
    const std::string line = SelectedWaiting();
    if (line.empty()) {
        m_boxes.Show(sjis(txt::kAskUnwaitMember), sjis(txt::kCaptionRequest), BoxIcon::Warning);
        return;
    }
    if (m_chat) {
        auto& waits = m_chat->SeatWait();
        const auto it = std::find(waits.begin(), waits.end(), KeyOfLine(line));
        if (it != waits.end()) waits.erase(it);
    }
    chatlist::Remove(*m_waiting, m_waiting->row(m_waiting->selectedItems().front()));
}

void CMemberListDlg::ChatWithSelection() {
    const std::string line = SelectedParticipant();
    if (line.empty()) {
        m_boxes.Show(sjis(txt::kAskChatMember), sjis(txt::kCaptionRequest), BoxIcon::Warning);
        return;
    }
    m_leavingForChat = true;
    m_host.ForgetMemberList();
    if (!m_host.ChatDialog()) m_host.OpenChatDialog();
    if (CPeerChatDlg* chat = m_host.ChatDialog()) {
        chat->SetPendingSelection(line);
        PostMessage(chat, WM_SELECT_MEMBER);
    }
    ChatDialog::done(QDialog::Accepted);
}

void CMemberListDlg::done(int result) {
    if (!m_leavingForChat) {
        m_host.ForgetMemberList();
        m_host.StoreAutoUpdate(AutoUpdate());
    }
    ChatDialog::done(result);
}

}  // namespace kestrel
