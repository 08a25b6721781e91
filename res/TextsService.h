#pragma once

// Fixed texts of the service controller.

namespace kestrel::txt {

inline constexpr char kCaptionCaution[] = "注意";
inline constexpr char kCaptionInit[] = "初期化";
inline constexpr char kCaptionInitFailed[] = "初期化失敗";
inline constexpr char kNothingEnabled[] =
    "サービスを開始できません\n環境設定でネットワークサービスを何か有効にしてください";
inline constexpr char kNewsInitFailed[] = "ニュースチェックのための初期化に失敗しました。\n";
inline constexpr char kNewsInitNoFile[] = "(ニュースチェック用ファイルがありません)";
inline constexpr char kNewsInitTimer[] = "(タイマ設定失敗)";
inline constexpr char kNewsInitTooSmall[] = "(タイマ値が小さすぎます)";
inline constexpr char kIdentInitFailed[] =
    "身元確認のための初期化に失敗しました\nKestrelを再起動してください";
inline constexpr char kMailInitFailed[] = "メールチェックのための初期化に失敗しました";
inline constexpr char kHelpPage[] = "html/index.html";
inline constexpr char kBanner[] =
    "**********************************************************************\r\n";

}  // namespace kestrel::txt
