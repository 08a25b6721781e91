#pragma once

// Fixed texts of the tray menu and its places submenu, in UTF-8; use them through sjis()
// (res/Text.h).

namespace kestrel::txt {

inline constexpr char kTrayOpenMainWindow[] = "メイン画面を開く...";
inline constexpr char kTrayShowPeerChat[] = "ピアチャット表示...";
inline constexpr char kTrayShowMemberList[] = "メンバリスト表示...";
inline constexpr char kTrayChangeWhereabouts[] = "居所変更";
inline constexpr char kTrayExit[] = "Kestrelの終了";
inline constexpr char kTrayAwayNoPlace[] = "離席中(居所指定なし)";
inline constexpr char kTrayPresent[] = "在席中";

// The whereabouts text that stands for away without a place.
inline constexpr char kTrayWhereaboutsUnknown[] = "不明";

}  // namespace kestrel::txt
