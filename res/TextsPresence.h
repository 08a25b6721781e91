#pragma once

// Fixed texts of the away reminder.

namespace kestrel::txt {

inline constexpr char kReminderCaption[] = "在席変更し忘れ防止";
inline constexpr char kReminderText[] =
    "「離席中」になったままです。\n\n席にもどられているなら、居所を\n「在席中」にしてください。";
inline constexpr char kReminderBackButton[] = "在席中に戻す";

}  // namespace kestrel::txt
