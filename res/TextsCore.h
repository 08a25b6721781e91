#pragma once

// Fixed texts of start-up, settings, logs and the socket layer, in UTF-8; use them through
// sjis() (res/Text.h), which yields the CP932 bytes the program works with.

namespace kestrel::txt {

inline constexpr char kProductTitle[] = "Kestrel for Intranet";
inline constexpr char kServerProductTitle[] = "KestrelServer for Intranet";
inline constexpr char kVersion[] = "ver3.20";
inline constexpr char kVersionFormat[] = "%s %s";
inline constexpr char kDocString[] =
    "for Intranet\nKestrel\nKestrel\n\n\nKestrel.Document\nKestrel Document";
inline constexpr char kAppKey[] = "Kestrel";
inline constexpr char kVendorKey[] = "Harrowgate";
inline constexpr char kNoName[] = "no_name";

// String resource 104.
inline constexpr char kSocketsInitFailed[] = "Windows ｿｹｯﾄの初期化に失敗しました。";
inline constexpr char kMultipleStartFormat[] = "%sは複数起動できません";

inline constexpr char kMigrateStart[] =
    "旧版の初期化ファイル(kestrel.ini)"
    "が存在します。\nこの初期化ファイルの内容をレジストリに移動します。";
inline constexpr char kMigrateDone[] =
    "初期化ファイルの移動が完了しました。\n旧版の初期化ファイル(kestrel.ini)は、\nkestrel_ini."
    "oldにリネームされました。";
inline constexpr char kIniFileName[] = "kestrel.ini";
inline constexpr char kIniOldFileName[] = "kestrel_ini.old";

inline constexpr char kDefaultPlaces[] = "会議室~:_トイレ~:_";
inline constexpr char kListSeparator[] = "~:_";

inline constexpr char kHistoryPrefix[] = "会話履歴";
inline constexpr char kHistoryDateFormat[] = "%y%m%d";
inline constexpr char kHistoryAsk[] =
    "チャットの会話履歴をファイルに保存しますか？\n(ファイル名：%s)";
inline constexpr char kHistorySaveFailed[] =
    "チャットの会話履歴を保存できませんでした。\n(ファイル名：%s)\n%s\n\nもう一度保存しますか？";
inline constexpr char kHistoryFileInUse[] = "ファイルは他のプログラムが使用中です。";
inline constexpr char kHistoryHeaderFormat[] =
    "********************* %m/%d %H:%M:%S ********************";

inline constexpr char kEventLogName[] = "kestrel.log";
inline constexpr char kSocketLogName[] = "SocketWindow.log";
inline constexpr char kLogStampFormat[] = "%m/%d %H:%M:%S  ";
inline constexpr char kLogNothing[] = "--nothing--";

}  // namespace kestrel::txt
