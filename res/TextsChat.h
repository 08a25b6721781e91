#pragma once

// Fixed texts of the peer chat, its member list and its windows, in UTF-8; use them through
// sjis() (res/Text.h).

namespace kestrel::txt {

inline constexpr char kPeerChatWindowTitle[] = "PeerChat Window";

// What this program answers to a version query.
inline constexpr char kChatVersionAnswer[] = "Kestrel ver3.20";

inline constexpr char kChatPortFailed[] =
    "チャット用のポートを作れませんでした。(Server)\nERROR = %d";
inline constexpr char kChatEntryFailed[] = "エントリのブロードキャストに失敗しました。\nERROR = %d";
inline constexpr char kChatStillSending[] =
    "ただいま先ほどのメッセージを送信中です。\n2-3秒後にメッセージ送信ボタンを押し直してください。";
inline constexpr char kChatNotDelivered[] =
    "メッセージは上手く送信されなかったようです。\n相手のマシンがダウンしている可能性があります。";
inline constexpr char kCaptionWarning[] = "警告";
inline constexpr char kCaptionRequest[] = "お願い";
inline constexpr char kCaptionNotice[] = "お知らせ";
inline constexpr char kCaptionCaution[] = "注意";

// Event-log lines of the peer chat. The arrows are kept apart so that the formats stay
// ASCII up to them.
inline constexpr char kTraceChatSocket[] = "U [Chat Reciever Socket Create] port=%u, pSocket=%08X";
inline constexpr char kTraceChatToAll[] = "U [***********:%d(%08X)]← %s";
inline constexpr char kTraceChatTo[] = "U [%s:%d(%08X)]← %s";
inline constexpr char kTraceChatFrom[] = "U [%s:%d(%08X)]→ %s";
// What the flood guards leave out, once per episode.
inline constexpr char kTraceChatSenderDropped[] =
    "U [Chat Message Dropped] %s:%d sends more than its share; its further messages are dropped";
inline constexpr char kTraceChatAllDropped[] =
    "U [Chat Message Dropped] more messages than the chat takes; the excess is dropped";
inline constexpr char kTraceChatTableFull[] =
    "U [Chat Member Table Full] %s:%d is not listed: %u members";
inline constexpr char kTraceChatBroadcastSkipped[] =
    "U [Chat BroadIPs] skipped (not a numeric address, repeated, or beyond %u): %s";

// Presence in member lines.
inline constexpr char kMemberPresent[] = "在席";
inline constexpr char kMemberAway[] = "離席:";

inline constexpr char kSeatReturned[] = "%s さんは席に戻られたようです\r\n(%s 現在)";

// Member list window.
inline constexpr char kMemberListCaption[] = "メンバリスト";
inline constexpr char kMemberListParticipants[] = "参加メンバ";
inline constexpr char kMemberListWaiting[] = "着席待ちメンバ";
inline constexpr char kMemberCount[] = "メンバ数：";
inline constexpr char kMemberListRefresh[] = "リスト更新";
inline constexpr char kMemberListRefreshing[] = "更新中...!";
inline constexpr char kMemberListAutoUpdate[] = "自動更新";
inline constexpr char kMemberListRegister[] = "着席待ち登録↓";
inline constexpr char kMemberListUnregister[] = "着席待ち解除↑";
inline constexpr char kMemberListChat[] = "ピアチャット";
inline constexpr char kClose[] = "閉じる";
inline constexpr char kAskAutoUpdate[] = "メンバ自動更新をオンにしてください";
inline constexpr char kAskWaitMember[] = "着席待ちをするメンバを選択してください";
inline constexpr char kPresentNotWaited[] = "在席中のメンバを着席待ちの対象にすることはできません";
inline constexpr char kAlreadyWaited[] = "対象者はすでに登録されています";
inline constexpr char kAskUnwaitMember[] = "着席待ちを解除するメンバを選択してください";
inline constexpr char kAskChatMember[] = "ピアチャトをするメンバを選択してください";

// Chat window.
inline constexpr char kChatCaption[] = "ピアチャット";
inline constexpr char kChatTarget[] = "話をする相手";
inline constexpr char kChatRefresh[] = "メンバリスト更新";
inline constexpr char kChatSendButton[] = "メッセージ送信";
inline constexpr char kChatOnlyIpMessenger[] =
    "KestrelまたはIP Messangerにしかメッセージを送信できません";
inline constexpr char kChatRefusedClient[] = "Corvid32";
inline constexpr char kChatReceivedLine[] = "受[%s(%s)]  %s";
inline constexpr char kChatSentLine[] = "送[%s(%s)]  %s";
inline constexpr char kChatReceivedMark[] = "受[";
inline constexpr char kChatSentMark[] = "送";

// Message window.
inline constexpr char kMessageViewCaption[] = "受信メッセージの内容";
inline constexpr char kMessageTo[] = "送信先";
inline constexpr char kMessageFrom[] = "送信元";
inline constexpr char kMessageFromResource[] = "発信元";

// Seat notice.
inline constexpr char kSeatNoticeCaption[] = "着席のお知らせ";
inline constexpr char kOk[] = "OK";

}  // namespace kestrel::txt
