#pragma once

// Fixed texts of the NNTP news check, in UTF-8; use them through sjis() (res/Text.h), which
// yields the CP932 bytes the program works with.

namespace kestrel::txt {

inline constexpr char kNewsCheckWindowTitle[] = "NewsCheck Window";
inline constexpr char kNewsWatchListName[] = "newschck.lst";

// Commands.
inline constexpr char kNntpGroupFormat[] = "group %s\r\n";
inline constexpr char kNntpQuit[] = "quit\r\n";
// Asked after the greeting: a server that serves readers only in reader mode answers GROUP
// after it; one that has no such mode says so (5xx), which changes nothing.
inline constexpr char kNntpModeReader[] = "mode reader\r\n";

// News check event log.
inline constexpr char kNewsTimerSetComplete[] = "NEWS TIMER SET COMPLETE\r\n";
inline constexpr char kNewsTimerSetError[] = "NEWS TIMER SET ERROR\r\n";
inline constexpr char kNewscheckStart[] = "Newscheck Start!!\r\n";
inline constexpr char kSkipNewscheckStart[] = "Skip Newscheck Start!!\r\n";
inline constexpr char kNntpSocketErrorFormat[] = "ERROR (LASTERROR = %d)\r\n";
inline constexpr char kNntpSocketConnecting[] = "nntp socket connecting\r\n";
inline constexpr char kNntpSocketDeleteAtProcessing[] = "nntp socket delete (at processing)\r\n";
inline constexpr char kNntpSocketDelete[] = "nntp socket delete\r\n";
inline constexpr char kNntpErrorFormat[] = "ERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kNntpNotReady[] = "NNTPサーバ側の準備ができていません\n";
inline constexpr char kNewsListCannotOpenFormat[] = "%sを\nオープンできません";

// A failed connection.
inline constexpr char kNntpConnectFailedFormat[] =
    "NNTPサーバに接続できませんでした。\nLASTERROR = %d";
inline constexpr char kNewsWatchErrorCaption[] = "ニュース監視エラー";

}  // namespace kestrel::txt
