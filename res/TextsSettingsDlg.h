#pragma once

// Fixed texts of the settings dialogs and their checks, in UTF-8; use them through sjis()
// (res/Text.h) where they cross into CP932, QString::fromUtf8() where Qt shows them.

namespace kestrel::txt {

inline constexpr char kSettingsOk[] = "OK";
inline constexpr char kSettingsCancel[] = "ｷｬﾝｾﾙ";
inline constexpr char kSettingsCancelFull[] = "キャンセル";
inline constexpr char kBrowse[] = "参照...";
inline constexpr char kPortLabel[] = "ポート";

// Numeric fields.
inline constexpr char kEnterPositiveInteger[] = "正の整数を入力してください。";
inline constexpr char kEnterIntegerRange[] = "%1 から %2 までの整数を入力してください。";

// 130 environment settings.
inline constexpr char kEnvironmentCaption[] = "環境設定";
inline constexpr char kEnvUserLabel[] = "ユーザ名";
inline constexpr char kEnvNewsFileLabel[] = "ニュースリーダ・実行ファイル";
inline constexpr char kEnvNNTPServerLabel[] = "ニュースサーバ(NNTPサーバ)";
inline constexpr char kEnvPOPServerLabel[] = "メール(認証)サーバ(POPサーバ)";
inline constexpr char kEnvNewsCheck[] = "     NetNewsの投稿をチェックする";
inline constexpr char kEnvMailCheck[] = "     E-Mailの受信をチェックする";
inline constexpr char kEnvIdentify[] = " 身元確認を受ける";
inline constexpr char kEnvMailReaderLabel[] = "メーラの種類";
inline constexpr char kEnvNewsReaderLabel[] = "ニュースリーダの種類";
inline constexpr char kEnvNetScape[] = "NetScape";
inline constexpr char kEnvAlMail[] = "AL-MAIL";
inline constexpr char kEnvDenshin8[] = "電信八号";
inline constexpr char kEnvWinVN[] = "WinVN";
inline constexpr char kEnvOthers[] = "その他";
inline constexpr char kEnvDesktopReader[] = "既定のアプリ";
inline constexpr char kEnvMailFileLabel[] = "メーラ・実行ファイル";
inline constexpr char kEnvPasswdCheck[] = " パスワード更新を促す";
inline constexpr char kEnvAuthPortLabel[] = "身元確認用ポート";
inline constexpr char kEnvPswdPortLabel[] = "パスワード変更ポート";
// The TLS choice beside each server, in the order of the stored values (0, 1, 2), and the
// CA file both checks trust besides the system's store.
inline constexpr char kEnvSecurityLabel[] = "暗号化";
inline constexpr char kEnvSecurityNone[] = "なし";
inline constexpr char kEnvPOPStartTls[] = "STLS";
inline constexpr char kEnvPOPTlsOnConnect[] = "SSL/TLS (995)";
// The mail server's protocol; IMAP keeps the same server, port, TLS choice and account, with
// its own ports (143 in clear or with STARTTLS, 993 with TLS from the first byte).
inline constexpr char kEnvMailProtocolLabel[] = "プロトコル";
inline constexpr char kEnvMailProtocolPop3[] = "POP3";
inline constexpr char kEnvMailProtocolImap[] = "IMAP";
inline constexpr char kEnvNNTPStartTls[] = "STARTTLS";
inline constexpr char kEnvNNTPTlsOnConnect[] = "SSL/TLS (563)";
inline constexpr char kEnvCAFileLabel[] = "CAファイル";
inline constexpr char kEnvLogoutQuestion[] =
    "ネットワーク環境変更のため、ログアウトを行います。\nログアウトしてもよろしいでしょうか?";
inline constexpr char kEnvLogoutCaption[] = "ネットワーク環境の変更";

// 133 timer settings.
inline constexpr char kTimerCaption[] = "タイマー設定";
inline constexpr char kTimerNewsLabel[] = "News用タイマー値";
inline constexpr char kTimerMailLabel[] = "Mail用タイマー値";
inline constexpr char kTimerDaysLabel[] = "パスワード更新日数";
inline constexpr char kUnitMinutes[] = "分";
inline constexpr char kUnitDays[] = "日";
inline constexpr char kNewsTimerTooShort[] = "ニュース監視用タイマは3分以上を設定してください";
inline constexpr char kSettingsCaution[] = "注意";

// 141 sound settings.
inline constexpr char kSoundCaption[] = "サウンド設定";
inline constexpr char kSoundCheck[] = "新規の記事投稿/メール受信を音で知らせる";

// 143 user interface.
inline constexpr char kUserInterfaceCaption[] = "ユーザインタフェース";
inline constexpr char kBeIconCheck[] = "ログイン完了時にアイコン化する";
inline constexpr char kBePopupCheck[] = "新規の記事投稿/メール受信をポップアップで知らせる";
// Not a stored value: the desktop's autostart entry, written or removed at OK.
inline constexpr char kAutostartCheck[] = "ログオン時に起動する";
inline constexpr char kAutostartFailed[] = "ログオン時の起動を設定できませんでした。";

// 138 communicator options.
inline constexpr char kCommunicatorCaption[] = "コミュニケータオプション";
inline constexpr char kCommPeerChat[] = "      ピアチャット／居所管理";
inline constexpr char kCommMemberServer[] = "メンバ管理サーバ";
inline constexpr char kCommNoSupport[] = "No Support";
inline constexpr char kCommChatPortLabel[] = "ピアチャット用ポート(IPメッセンジャー互換)";
inline constexpr char kCommNicknameLabel[] = "ピアチャットで用いるニックネーム";
inline constexpr char kCommBadNickname[] = "ニックネームには次の文字を使えません。\n:  [  ]  <  >";
inline constexpr char kCommRestartNotice[] =
    "チャット環境の設定が変更されました。\n設定を有効にするにはKestrelを再起動する必要があります。";
inline constexpr char kCommRestartCaption[] = "お願い";

// 155 broadcast to other networks.
inline constexpr char kBroadcastCaption[] = "他ﾈｯﾄﾜｰｸへのﾌﾞﾛｰﾄﾞｷｬｽﾄ";
inline constexpr char kBroadcastInstruction[] =
    "下のﾘｽﾄに他ﾈｯﾄﾜｰｸのﾌﾞﾛｰﾄﾞｷｬｽﾄｱﾄﾞﾚｽを追加してください";
inline constexpr char kBroadcastHint[] = "(ex. 177.63.123.255)";
inline constexpr char kBroadcastAdd[] = "追加 >>";
inline constexpr char kBroadcastDelete[] = "<< 削除";
inline constexpr char kBroadcastFormatError[] =
    "IPアドレスはxxx.yyy.zzz.aaaの形で指定してください\n(xxx,yyy,zzz,aaaは0～255)";
inline constexpr char kBroadcastFormatCaption[] = "入力形式エラー";
inline constexpr char kBroadcastRepeated[] = "このアドレスはすでにリストにあります";
inline constexpr char kBroadcastTooMany[] = "ブロードキャストアドレスは%u個まで登録できます";

// 146 whereabouts places.
inline constexpr char kPlacesCaption[] = "居所場所の登録";
inline constexpr char kPlacesAdd[] = "追加";
inline constexpr char kPlacesDelete[] = "削除";
inline constexpr char kPlacesDeleteQuestion[] = "%s を削除していいですか？";
inline constexpr char kPlacesDeleteCaption[] = "削除の確認";
// The list keeps its items apart with this very text; a place holding it could not be read
// back as one place.
inline constexpr char kPlacesSeparatorRefused[] = "場所の名前に「~:_」は使えません。";

}  // namespace kestrel::txt
