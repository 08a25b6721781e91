#pragma once

// Fixed texts of the main status form.

namespace kestrel::txt {

inline constexpr char kGroupNewsMail[] = "ニュース ＆ メール";
inline constexpr char kLabelNewsReader[] = "ニュースリーダ";
inline constexpr char kLabelNntpServer[] = "NNTPサーバ";
inline constexpr char kLabelBiff[] = "BIFF : ";
inline constexpr char kLabelMailer[] = "メーラ";
inline constexpr char kLabelPopServer[] = "POPサーバ";
inline constexpr char kGroupWhereabouts[] = "わたしの居所";
inline constexpr char kRadioPresent[] = "在席中";
inline constexpr char kRadioAway[] = "離席中";
inline constexpr char kLabelWhereabouts[] = "居所";
inline constexpr char kButtonMemberList[] = "メンバリスト表示（居所表示）";
inline constexpr char kOn[] = "ON";
inline constexpr char kOff[] = "OFF";

inline constexpr char kReaderNetScape[] = "NetScape";
inline constexpr char kReaderWinVN[] = "WinVN";
inline constexpr char kReaderALMail[] = "AL-Mail";
inline constexpr char kReaderDenshin8[] = "電信八号";
inline constexpr char kReaderOthers[] = "Others";
inline constexpr char kReaderDesktop[] = "Desktop";

}  // namespace kestrel::txt
