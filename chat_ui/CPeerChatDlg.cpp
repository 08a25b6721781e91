#include "chat_ui/CPeerChatDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include <cctype>

#include "chat/CChatHistory.h"
#include "chat/CPeerChat.h"
#include "chat/ChatIds.h"
#include "chat/MemberRecord.h"
#include "chat/PeerText.h"
#include "chat_ui/CMessageViewDlg.h"
#include "chat_ui/ChatLists.h"
#include "chat_ui/ChatWindowHost.h"
#include "identity/LocalIdentity.h"
#include "net/NetSocket.h"
#include "net/SocketSupport.h"
#include "platform/MessageBoxes.h"
#include "platform/MessageEvent.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}

}  // namespace

CPeerChatDlg::CPeerChatDlg(ChatWindowHost& host, CPeerChat* chat, MessageBoxes& boxes,
                           QWidget* parent)
    : ChatDialog(260, 200, txt::kChatCaption, parent), m_host(host), m_chat(chat), m_boxes(boxes) {
    setObjectName(QStringLiteral("peerChat"));
    setModal(false);
    auto* label = new QLabel(QString::fromUtf8(txt::kChatTarget), this);
    label->setGeometry(Dlu(7, 9, 50, 8));
    m_targets = new QComboBox(this);
    m_targets->setObjectName(QStringLiteral("targets1017"));
    m_targets->setFont(MemberLineFont());
    m_targets->setGeometry(Dlu(58, 7, 140, 12));
    m_refresh = new QPushButton(QString::fromUtf8(txt::kChatRefresh), this);
    m_refresh->setObjectName(QStringLiteral("refresh1018"));
    m_refresh->setAutoDefault(false);
    m_refresh->setGeometry(Dlu(202, 6, 51, 14));
    m_conversation = new QListWidget(this);
    m_conversation->setObjectName(QStringLiteral("conversation1019"));
    // Lines of one height: a new line costs the same however many stand above it.
    m_conversation->setUniformItemSizes(true);
    m_conversation->setGeometry(Dlu(7, 25, 246, 125));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("text1006"));
    m_text->setMaxLength(kChatTextLimit);
    m_text->setGeometry(Dlu(7, 155, 246, 13));
    m_send = new QPushButton(QString::fromUtf8(txt::kChatSendButton), this);
    m_send->setObjectName(QStringLiteral("send1025"));
    m_send->setDefault(true);
    m_send->setGeometry(Dlu(7, 176, 60, 15));
    m_close = new QPushButton(QString::fromUtf8(txt::kClose), this);
    m_close->setObjectName(QStringLiteral("close1"));
    m_close->setAutoDefault(false);
    m_close->setGeometry(Dlu(193, 176, 60, 15));

    connect(m_send, &QPushButton::clicked, this, [this] { Send(); });
    connect(m_text, &QLineEdit::returnPressed, this, [this] { Send(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { RefreshMembers(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_targets, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_pending = chatlist::LineAt(*m_targets, index); });
    connect(m_conversation, &QListWidget::currentRowChanged, this,
            [this](int row) { PickSender(row); });
    // A click on the line already selected picks its sender again, for when another member
    // has been chosen since.
    connect(m_conversation, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (m_conversation->row(item) == m_conversation->currentRow())
            PickSender(m_conversation->row(item));
    });
    connect(m_conversation, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { ShowLine(m_conversation->row(item)); });
    showText = [this](const QString& line) {
        CMessageViewDlg view(line, this);
        view.exec();
    };
    Opening();
}

void CPeerChatDlg::showEvent(QShowEvent* event) {
    ChatDialog::showEvent(event);
    if (m_opened) return;
    m_opened = true;
    if (const QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

void CPeerChatDlg::Opening() {
    m_layout.list = m_conversation->geometry();
    m_layout.edit = m_text->geometry();
    m_layout.send = m_send->geometry();
    m_layout.close = m_close->geometry();
    m_layout.margin = m_layout.list.left();
    m_layout.below = height() - m_layout.list.bottom();
    m_layout.recorded = true;

    const CChatHistory& history = m_host.ChatHistory();
    for (std::size_t i = 0; i < history.Lines().size(); ++i)
        chatlist::Add(*m_conversation, history.Lines()[i], history.Shown()[i]);
    if (!m_chat) return;
    std::vector<MemberRecord> members;
    m_chat->Snapshot(members);
    const QSignalBlocker quiet(m_targets);
    m_targets->clear();
    for (const auto& member : members)
        chatlist::AddSorted(*m_targets, ChatMemberLine(member), ChatMemberLineText(member));
    m_targets->setCurrentIndex(-1);
}

void CPeerChatDlg::Send() {
    const std::string target = chatlist::LineAt(*m_targets, m_targets->currentIndex());
    if (target.empty()) return;
    const std::size_t bracket = Cp932Find(target, ']');
    if (bracket != std::string::npos &&
        Cp932Find(target, txt::kChatRefusedClient, bracket + 1) != std::string::npos) {
        m_boxes.Show(sjis(txt::kChatOnlyIpMessenger), sjis(txt::kCaptionCaution),
                     BoxIcon::Information);
        return;
    }
    // At most 150 characters, as the edit takes them: up to 300 bytes in CP932, all sent.
    const QString text = m_text->text().left(kChatTextLimit);
    if (text.isEmpty()) return;

    QString nickname = FromCp932(TrimRight(target.substr(0, Cp932Find(target, '['))));
    QString host = FromCp932(HostOfLine(target));
    const auto address = SplitKey(KeyOfLine(target));
    SocketEvent where;
    if (address) {
        CopyField(where.peerAddress, address->address);
        where.peerPort = address->port;
        // The member's names as it gave them, where CP932 may lack some of their characters.
        if (const MemberRecord* member =
                m_chat ? m_chat->Members().Find(address->address) : nullptr) {
            nickname = FromCp932(TrimRight(FieldText(member->nickname)));
            if (!member->nicknameText.isNull()) {
                nickname = member->nicknameText;
                while (nickname.endsWith(QLatin1Char(' '))) nickname.chop(1);
            }
            host = HostText(*member);
        }
    }
    // Only a message that went out is filed; one refused (another still awaits its
    // acknowledgement) stays in the edit to be sent again.
    if (!m_chat || !m_chat->SendText(where, text)) return;

    const QString line = QString::asprintf(txt::kChatSentLine, nickname.toUtf8().constData(),
                                           host.toUtf8().constData(), text.toUtf8().constData());
    m_text->clear();
    CChatHistory& history = m_host.ChatHistory();
    history.AddShown(line);
    AddConversationLine(history.Lines().back(), line);
}

void CPeerChatDlg::AddConversationLine(const std::string& line, const QString& shown) {
    chatlist::Add(*m_conversation, line, shown);
    const QSignalBlocker quiet(m_conversation);
    // As many lines as the history keeps: the oldest go.
    while (static_cast<std::size_t>(m_conversation->count()) > CChatHistory::kKeptLines)
        delete m_conversation->takeItem(0);
    m_conversation->setCurrentRow(m_conversation->count() - 1);
}

void CPeerChatDlg::RefreshMembers() {
    if (!m_chat) return;
    {
        // The chosen member stays pending: the answers' events bring the line back, and it is
        // chosen again then.
        const QSignalBlocker quiet(m_targets);
        m_targets->clear();
        m_targets->setCurrentIndex(-1);
    }
    m_chat->Refresh();
}

void CPeerChatDlg::customEvent(QEvent* e) {
    MessageEvent* message = asMessage(e);
    if (!message) {
        ChatDialog::customEvent(e);
        return;
    }
    switch (message->message()) {
        case WM_MEMBER_EVENT:
            if (auto record = message->takeSecond<MemberRecord>())
                OnMemberEvent(static_cast<int>(message->wParam()), *record);
            break;
        case WM_SELECT_MEMBER:
            SelectPending();
            break;
        case WM_SHOW_PEER_MESSAGE:
            if (auto line = message->takeSecond<ChatLine>())
                ShowReceivedLine(line->bytes, line->shown);
            else if (auto bytes = message->takeSecond<std::string>())
                ShowReceivedLine(*bytes, QString());
            break;
        default:
            break;
    }
}

void CPeerChatDlg::OnMemberEvent(int kind, const MemberRecord& record) {
    const std::string line = ChatMemberLine(record);
    const QString shown = ChatMemberLineText(record);
    // The pending selection survives the drop-down's changes: it is selected again below.
    const std::string pending = m_pending;
    {
        const QSignalBlocker quiet(m_targets);
        if (kind == MEMBER_ADDED) {
            chatlist::AddSorted(*m_targets, line, shown);
        } else if (kind == MEMBER_UPDATED || kind == MEMBER_LEFT) {
            const int at = chatlist::FindContaining(*m_targets, MemberKey(record));
            if (at >= 0) {
                // Never a neighbour in its place: the pending selection below chooses the
                // updated line again, and a member who left leaves nobody chosen.
                chatlist::Remove(*m_targets, at);
                if (kind == MEMBER_UPDATED) chatlist::AddSorted(*m_targets, line, shown);
            }
        }
    }
    m_pending = pending;
    PostMessage(this, WM_SELECT_MEMBER);
}

void CPeerChatDlg::SelectPending() {
    const std::string key = KeyOfLine(m_pending);
    if (key.empty()) {
        m_pending.clear();
    } else if (const int at = chatlist::FindContaining(*m_targets, "(" + key + ")"); at >= 0) {
        m_targets->setCurrentIndex(at);
    }
    m_text->setFocus();
}

void CPeerChatDlg::ShowReceivedLine(const std::string& line, const QString& shown) {
    AddConversationLine(line, shown);
}

void CPeerChatDlg::PickSender(int row) {
    if (row < 0) return;
    const std::string line = chatlist::LineOf(m_conversation->item(row));
    if (line.rfind(sjis(txt::kChatReceivedMark), 0) != 0) return;
    // A conversation line names its sender as "nickname(host)" inside the brackets.
    std::string who = line.substr(Cp932Find(line, '[') + 1);
    who = who.substr(0, Cp932Find(who, ']'));
    const std::size_t open = Cp932Find(who, '(');
    std::string host = open == std::string::npos ? std::string() : who.substr(open + 1);
    host = host.substr(0, Cp932Find(host, ')'));
    for (int i = 0; i < m_targets->count(); ++i) {
        if (SameIgnoringCase(HostOfLine(chatlist::LineAt(*m_targets, i)), host)) {
            m_targets->setCurrentIndex(i);
            break;
        }
    }
    m_text->setFocus();
}

void CPeerChatDlg::ShowLine(int row) {
    // Each line of the list keeps its whole text, line breaks and all.
    const QListWidgetItem* item = m_conversation->item(row);
    if (!item) return;
    if (showLine)
        showLine(chatlist::LineOf(item));
    else if (showText)
        showText(chatlist::ShownOf(item));
}

void CPeerChatDlg::resizeEvent(QResizeEvent* event) {
    ChatDialog::resizeEvent(event);
    if (!m_layout.recorded) return;
    const auto& l = m_layout;
    QRect list = m_conversation->geometry();
    QRect edit = m_text->geometry();
    if (width() > 2 * l.margin) {
        list.setWidth(width() - 2 * l.margin);
        edit.setWidth(width() - 2 * l.margin);
    }
    int shift = 0;
    if (height() > l.list.top() + l.below) {
        list.setHeight(height() - l.list.top() - l.below);
        shift = list.bottom() - l.list.bottom();
    }
    m_conversation->setGeometry(list);
    m_text->setGeometry(edit.left(), l.edit.top() + shift, edit.width(), edit.height());
    m_send->move(l.send.left(), l.send.top() + shift);
    m_close->move(l.close.left(), l.close.top() + shift);
}

void CPeerChatDlg::done(int result) {
    m_host.ForgetChatDialog();
    ChatDialog::done(result);
}

}  // namespace kestrel
