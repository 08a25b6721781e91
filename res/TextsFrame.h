#pragma once

// Fixed texts of the main frame: the menu bar, the about box, the mail notice text.

namespace kestrel::txt {

inline constexpr char kMailTextHead[] = "新しいメールを受信しました\n(未読メールは";
inline constexpr char kMailTextTail[] = "件です)";

inline constexpr char kMenuNetwork[] = "ﾈｯﾄﾜｰｸ(&N)";
inline constexpr char kMenuStartService[] = "サービス開始(&I)...\tCtrl+I";
inline constexpr char kMenuStopService[] = "サービス停止(&O)\tCtrl+O";
inline constexpr char kMenuChangePassword[] = "パスワード変更(&P)...\tCtl+P";
inline constexpr char kMenuExit[] = "Kestrelの終了(&X)";
inline constexpr char kMenuCommunicator[] = "ｺﾐｭﾆｹｰﾀ(&C)";
inline constexpr char kMenuPeerChat[] = "ﾋﾟｱﾁｬｯﾄ(&H)...\tCtl+H";
inline constexpr char kMenuCommunicatorOptions[] = "ｵﾌﾟｼｮﾝ(&O)...";
inline constexpr char kMenuBroadcast[] = "他ﾈｯﾄﾜｰｸへのﾌﾞﾛｰﾄﾞｷｬｽﾄｱﾄﾞﾚｽ登録(&B)...";
inline constexpr char kMenuPlaces[] = "居所場所の登録(&P)...";
inline constexpr char kMenuCheckSaver[] = "ｽｸﾘｰﾝｾｰﾊﾞ起動時に「離席中」にする";
inline constexpr char kMenuOptions[] = "ｵﾌﾟｼｮﾝ(O)";
inline constexpr char kMenuEnvironment[] = "環境設定(&E)...";
inline constexpr char kMenuTimer[] = "ﾀｲﾏｰ設定(&T)...";
inline constexpr char kMenuSound[] = "ｻｳﾝﾄﾞ設定(&S)...";
inline constexpr char kMenuUserInterface[] = "ﾕｰｻﾞｲﾝﾀﾌｪｰｽ(&U)...";
inline constexpr char kMenuHelp[] = "ﾍﾙﾌﾟ(&H)";
inline constexpr char kMenuHelpItem[] = "ﾍﾙﾌﾟ(&H)";
inline constexpr char kMenuAbout[] = "バージョン情報(&A)...";
inline constexpr char kAboutVersion[] = "Version 3.20";
inline constexpr char kAboutCaption[] = "バージョン情報";

}  // namespace kestrel::txt
