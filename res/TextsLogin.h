#pragma once

// Fixed texts of the log-in.

namespace kestrel::txt {

inline constexpr char kLoginCaption[] = "ログイン";
inline constexpr char kLoginUserLabel[] = "ユーザ名";
inline constexpr char kLoginPasswordLabel[] = "パスワード";
inline constexpr char kLoginSaveLabel[] = "パスワードを保存する";
inline constexpr char kOk[] = "OK";
inline constexpr char kCancelKana[] = "ｷｬﾝｾﾙ";
// String resource 61716.
inline constexpr char kMaxCharsFormat[] = "%1 文字以内で入力してください。";
inline constexpr char kLoginDone[] = "認証完了しました";
inline constexpr char kLoginResultCaption[] = "認証結果";

}  // namespace kestrel::txt
