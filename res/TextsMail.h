#pragma once

// Fixed texts of the POP3 mail check and the POP3 log-in verification, in UTF-8; use them
// through sjis() (res/Text.h), which yields the CP932 bytes the program works with.

namespace kestrel::txt {

inline constexpr char kPopCheckWindowTitle[] = "PopCheck Window";
inline constexpr char kAuthenticationWindowTitle[] = "Authentication Window";

// Commands. The password line is logged in its masked form only.
inline constexpr char kPopUserFormat[] = "user %s\r\n";
inline constexpr char kPopPassFormat[] = "pass %s\r\n";
inline constexpr char kPopPassLogged[] = "pass ********\r\n";
inline constexpr char kPopLast[] = "last\r\n";
inline constexpr char kPopStat[] = "stat\r\n";
inline constexpr char kPopUidl[] = "uidl\r\n";
inline constexpr char kPopQuit[] = "quit\r\n";

// Interval boxes.
inline constexpr char kTimerZero[] = "タイマー値が０です";
inline constexpr char kTimerZeroCaption[] = "タイマー値エラー";

// Mail check event log.
inline constexpr char kMailTimerSetComplete[] = "MAIL TIMER SET COMPLETE\r\n";
inline constexpr char kMailTimerSetError[] = "MAIL TIMER SET ERROR\r\n";
inline constexpr char kPopcheckStart[] = "Popcheck Start!!\r\n";
inline constexpr char kSkipMailcheckStart[] = "Skip Mailcheck Start!!\r\n";
inline constexpr char kPopSocketErrorFormat[] = "ERROR (LASTERROR = %d)\r\n";
inline constexpr char kPopSocketConnecting[] = "pop3 socket connecting\r\n";
inline constexpr char kPopSocketDeleteAtProcessing[] = "pop3 socket delete (at processing)\r\n";
inline constexpr char kPopSocketDelete[] = "pop3 socket delete\r\n";
inline constexpr char kMailAccountRefused[] = "MAIL ACCOUNT ERROR\r\n";

// Mail check failures.
inline constexpr char kPopConnectFailedFormat[] =
    "POPサーバに接続できませんでした。\nLASTERROR = %d";
inline constexpr char kMailWatchErrorCaption[] = "メール監視エラー";
inline constexpr char kPopErrorFormat[] = "ERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kPopNotReady[] = "POPサーバ側の認証準備ができていません\r\n";
inline constexpr char kPopUserRejectedFormat[] = "protocol error\n%sはサーバに拒否されました\n%s\n";
inline constexpr char kPopPasswordInvalid[] = "パスワードが不正です\r\n";
inline constexpr char kPopLastError[] = "LAST COMMAND ERROR\r\n";
inline constexpr char kPopCommandRefused[] = "COMMAND ERROR\r\n";
inline constexpr char kPopStatError[] = "STAT COMMAND ERROR\r\n";
inline constexpr char kPopUidlError[] = "UIDL COMMAND ERROR\r\n";
// A PASS the server refuses for the moment ([IN-USE], [LOGIN-DELAY], [SYS/TEMP]): the next
// check tries again.
inline constexpr char kPopServerBusy[] =
    "POPサーバが混み合っています(次回の監視で再試行します)\r\n";
// The file of mail already read could not be written; the count goes on from memory.
inline constexpr char kSeenMailFileError[] = "SEEN MAIL FILE ERROR\r\n";

// The IMAP mail check: its window, event log and failures. Commands and responses are logged
// as they go, the password masked.
inline constexpr char kImapCheckWindowTitle[] = "ImapCheck Window";
inline constexpr char kImapcheckStart[] = "Imapcheck Start!!\r\n";
inline constexpr char kImapSocketConnecting[] = "imap socket connecting\r\n";
inline constexpr char kImapSocketDeleteAtProcessing[] = "imap socket delete (at processing)\r\n";
inline constexpr char kImapSocketDelete[] = "imap socket delete\r\n";
inline constexpr char kImapPasswordMask[] = "********";
inline constexpr char kImapBrokenFormat[] = "IMAP PROTOCOL ERROR (%s)\r\n";
inline constexpr char kImapNotReady[] = "IMAPサーバ側の認証準備ができていません\r\n";
inline constexpr char kImapStatusError[] = "STATUS COMMAND ERROR\r\n";
inline constexpr char kImapIdleError[] = "IDLE COMMAND ERROR\r\n";
inline constexpr char kImapIdleEnded[] = "IDLE CONNECTION LOST\r\n";
inline constexpr char kImapIdleRetryFormat[] = "IDLE RETRY IN %s ms\r\n";
// The server takes no password before TLS, and TLS was not asked for: nothing is sent.
inline constexpr char kImapLoginDisabled[] =
    "LOGINDISABLED: 暗号化されていない接続ではパスワードを送信しません\r\n";
inline constexpr char kImapServerBusy[] =
    "IMAPサーバが混み合っています(次回の監視で再試行します)\r\n";

// Log-in verification.
inline constexpr char kAuthFailedCaption[] = "認証失敗";
inline constexpr char kAuthCommFailedFormat[] =
    "POPサーバとの通信に失敗しました。\r\nERROR     = %d\r\nLASTERROR = %d";
inline constexpr char kAuthNotReady[] = "POPサーバ側の認証準備ができていません";
inline constexpr char kAuthSendErrorUserFormat[] =
    "Send Error (COMMAND=USER)\r\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kAuthReceiveErrorUserFormat[] =
    "Receive Error (COMMAND=USER)\r\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kAuthSendErrorPassFormat[] =
    "Send Error (COMMAND=PASS)\r\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kAuthReceiveErrorPassFormat[] =
    "Receive Error (COMMAND=PASS)\r\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kAuthSendErrorQuitFormat[] =
    "Send Error (COMMAND=QUIT)\r\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kAuthPasswordRejectedFormat[] =
    "protocol error\n%sはサーバに拒否されました(パスワード異常)\n%s\n";
// A name or password that cannot be put into a command line at all.
inline constexpr char kAuthAccountTooLong[] = "ユーザ名またはパスワードが長すぎます";
// The server refused the log-in for the moment; the user logs in again a little later.
inline constexpr char kAuthServerBusy[] =
    "POPサーバが混み合っているため、認証できませんでした。\nしばらくしてから、もう一度ログインして"
    "ください。";
inline constexpr char kAuthAccountBadChar[] = "ユーザ名またはパスワードに改行文字が含まれています";

}  // namespace kestrel::txt
