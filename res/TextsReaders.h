#pragma once

// Fixed texts of reader launching and the notification popups, in UTF-8; use them through
// sjis() (res/Text.h).

namespace kestrel::txt {

// Mail readers driven by a conversation. The misspelt "[Retreive]" is what AL-Mail expects.
inline constexpr char kAlMailService[] = "ALMail";
inline constexpr char kAlMailTopic[] = "ALMail";
inline constexpr char kAlMailCommand[] = "[Retreive]";
inline constexpr char kDen8Service[] = "Den8";
inline constexpr char kDen8Topic[] = "Command";
inline constexpr char kDen8Command[] = "[Receive]";

// News readers.
inline constexpr char kNetscapeService[] = "Netscape";
inline constexpr char kNetscapeTopic[] = "WWW_OpenURL";
inline constexpr char kNewsUrlHead[] = "news:";
inline constexpr char kNewsUrlTail[] = ",,0xFFFFFFFF,0x1";
inline constexpr char kWinVnWindowClass[] = "WinVnFrame";

// The mail reader never answered after being started.
inline constexpr char kMailerCheck[] = "メーラの指定方法が正しいか確認してください";
inline constexpr char kReviewSettingsCaption[] = "環境設定の見直し";

// The desktop's own mail and news applications: the URL schemes whose handler starts, and
// the box when none is registered or it would not start.
inline constexpr char kMailtoScheme[] = "mailto";
inline constexpr char kNewsScheme[] = "news";
inline constexpr char kNntpScheme[] = "nntp";
inline constexpr char kNoMailHandler[] =
    "メールソフトを起動できませんでした。\n"
    "デスクトップの既定のメールソフト(mailto を開くアプリ)が登録されていないか、起動に失敗しま"
    "した。\n"
    "次のように登録してください:\n"
    "xdg-mime default <アプリ>.desktop x-scheme-handler/mailto";
inline constexpr char kNoNewsHandler[] =
    "ニュースリーダを起動できませんでした。\n"
    "デスクトップの既定のニュースリーダ(news を開くアプリ)が登録されていないか、起動に失敗しま"
    "した。\n"
    "次のように登録してください:\n"
    "xdg-mime default <アプリ>.desktop x-scheme-handler/news";

// Popups.
inline constexpr char kNewsMailNoticeCaption[] = "新規ニュース/メール通知";
inline constexpr char kNewsNoticeCaption[] = "新規ニュース通知";
inline constexpr char kMailNoticeCaption[] = "新規メール着信通知";
inline constexpr char kNewArticles[] = "新しい記事が投稿されています";
inline constexpr char kNoNewArticles[] = "新しい記事は投稿されていません";
inline constexpr char kReadArticles[] = "記事を読む";
inline constexpr char kReceiveMail[] = "メールを受信する";
inline constexpr char kCloseNotice[] = "閉じる";
inline constexpr char kMailTextTemplate[] = "未読メール数";
inline constexpr char kNoticeFontFamily[] = "IPAPGothic";

}  // namespace kestrel::txt
