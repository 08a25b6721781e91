#pragma once

// Texts of the encrypted connections: the trace lines (ASCII, printf formats) and the reasons
// a user is shown when a server cannot be reached securely.

namespace kestrel::txt {

inline constexpr char kTraceTlsEstablished[] =
    "S [TLS Session Established] host = %s, protocol = %s, cipher = %s";
inline constexpr char kTraceTlsError[] = "S [TLS Session Error!] host = %s, reason = %s";

// Event-log lines of the upgrade in the dialogue; a secured channel names its protocol and
// cipher ("TLSv1.3 TLS_AES_256_GCM_SHA384").
inline constexpr char kTlsFailedLogFormat[] = "TLS ERROR (%s)\r\n";
inline constexpr char kTlsSecuredLogFormat[] = "TLS ESTABLISHED (%s)\r\n";

// Reasons, one per fault.
inline constexpr char kTlsNotOffered[] = "サーバが暗号化通信(STLS/STARTTLS)に対応していません";
inline constexpr char kTlsHandshakeFailed[] = "暗号化通信の開始(TLSハンドシェイク)に失敗しました";
inline constexpr char kTlsExpired[] = "サーバ証明書の有効期限が切れています";
inline constexpr char kTlsNotTrusted[] = "サーバ証明書が信頼できません(発行元を確認できません)";
inline constexpr char kTlsWrongHost[] = "サーバ証明書が別のホスト名のものです";
inline constexpr char kTlsCaFileUnreadable[] = "CAファイル(TLSCAFile)を読み込めません";

// Boxes: the server's name, then the reason.
inline constexpr char kPopTlsFailedFormat[] =
    "POPサーバ %s と暗号化通信ができません\n%s\nユーザ名とパスワードは送信していません";
inline constexpr char kNntpTlsFailedFormat[] =
    "NNTPサーバ %s と暗号化通信ができません\n%s\nニュースの確認を中止しました";

}  // namespace kestrel::txt
