#pragma once

// Fixed texts of the poppassd password change, the password-age reminder and the password
// change dialog, in UTF-8; use them through sjis() (res/Text.h).

namespace kestrel::txt {

// The poppassd dialogue.
inline constexpr char kPasswdChangeWindowTitle[] = "PasswordChange Window";
inline constexpr char kPasswdChangeCaption[] = "CPasswdChangeWnd::ExecChange()";
inline constexpr char kPoppassdConnecting[] = "poppassd socket connecting\r\n";
inline constexpr char kPoppassdDelete[] = "poppassd socket delete\r\n";
inline constexpr char kPoppassdUserFormat[] = "user %s\r\n";
inline constexpr char kPoppassdPassFormat[] = "pass %s\r\n";
inline constexpr char kPoppassdNewpassFormat[] = "newpass %s\r\n";
// The password lines go into the event log in these masked forms only.
inline constexpr char kPoppassdPassLogged[] = "pass ********\r\n";
inline constexpr char kPoppassdNewpassLogged[] = "newpass ********\r\n";
inline constexpr char kPoppassdQuit[] = "quit\r\n";
inline constexpr char kPoppassdErrorFormat[] = "ERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kPoppassdNotReady[] = "サーバ側の認証準備ができていません";
inline constexpr char kPoppassdNotReadyLog[] = "poppassdサーバ側の認証準備ができていません\r\n";
inline constexpr char kPoppassdUserRejectedFormat[] =
    "protocol error\n%sはサーバに拒否されました\n%s\n";
inline constexpr char kPoppassdPasswordInvalid[] = "パスワードが不正です\r\n";
inline constexpr char kPoppassdTooSlowFormat[] =
    "サーバからの応答が遅いので、切断しました\nERROR     = %d\r\nLASTERROR = %d\r\n";
inline constexpr char kPoppassdChangeFailed[] = "パスワード変更に失敗しました\r\n";

// The password-age reminder.
inline constexpr char kLastTimeFormat[] = "%Y.%m.%d.%H.%M";
inline constexpr char kPasswordAgeFormat[] =
    "パスワードを %d日以上の間変更していません。\n安全性確保のためパスワードの変更をお願いします。";
inline constexpr char kCaptionWarning[] = "警告";

// The password change flow.
inline constexpr char kChangeAfterStop[] = "サービス停止後、パスワード変更してください";
inline constexpr char kEnterUserName[] = "ユーザ名を入力してください";
inline constexpr char kEnterPassword[] = "パスワードを入力してください";
inline constexpr char kCaptionInputError[] = "入力エラー";
inline constexpr char kNewPasswordsDiffer[] = "新パスワードと再入力したパスワードが違います";
inline constexpr char kCaptionNewPasswordsDiffer[] = "新パスワードの不一致";
inline constexpr char kNewPasswordSameAsCurrent[] = "新パスワードは現パスワードと変えてください";
inline constexpr char kCaptionNewPasswordError[] = "新パスワードのエラー";
inline constexpr char kPasswordChanged[] = "パスワードを変更しました";
inline constexpr char kPasswordChangeFailed[] = "パスワード変更失敗しました";
inline constexpr char kCaptionChangeResult[] = "変更結果";

// Dialog 144.
inline constexpr char kPasswdChangeDlgCaption[] = "パスワード変更";
inline constexpr char kPasswdUserLabel[] = "ユーザ名";
inline constexpr char kPasswdCurrentLabel[] = "現パスワード";
inline constexpr char kPasswdNewLabel[] = "新パスワード";
inline constexpr char kPasswdNewAgainLabel[] = "新パスワード(再)";
inline constexpr char kPasswdChangeNote[] =
    "サーバ側の処理能力の関係で、変更に多少時間がかかることがあります。(タイムアウトは2分30秒です)";

}  // namespace kestrel::txt
