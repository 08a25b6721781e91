#pragma once

// Message numbers, command ids, timer ids and resource ids of the program. The program's own
// messages count up from WM_USER (0x400); WM_COMMAND, WM_SYSCOMMAND, the system commands and
// the tray's mouse messages carry the system's numbers.

namespace kestrel {

inline constexpr unsigned WM_USER = 0x0400;

inline constexpr unsigned WM_TRAY_NOTIFY = WM_USER + 10;
inline constexpr unsigned WM_SHOW_NOTICE = WM_USER + 40;
inline constexpr unsigned WM_RESTORE_POSITION = WM_USER + 100;
inline constexpr unsigned WM_IDENT_SOCKET = WM_USER + 101;
inline constexpr unsigned WM_SERVICE_STOPPED = WM_USER + 102;
inline constexpr unsigned WM_SERVICE_STARTED = WM_USER + 103;
inline constexpr unsigned WM_CHAT_DATAGRAM = WM_USER + 201;
inline constexpr unsigned WM_PEER_MESSAGE = WM_USER + 250;
inline constexpr unsigned WM_CHAT_SEND = WM_USER + 251;
inline constexpr unsigned WM_SHOW_PEER_MESSAGE = WM_USER + 252;
inline constexpr unsigned WM_SELECT_MEMBER = WM_USER + 254;
inline constexpr unsigned WM_PRESENCE_CHANGED = WM_USER + 255;
inline constexpr unsigned WM_MEMBER_EVENT = WM_USER + 256;
inline constexpr unsigned WM_BROADCAST_LIST_CHANGED = WM_USER + 257;
inline constexpr unsigned WM_WRITE_LOG = WM_USER + 400;

// Results the workers hand to the main frame on the user-interface thread.
inline constexpr unsigned WM_UNREAD_MAIL = WM_USER + 410;
inline constexpr unsigned WM_NEW_NEWS = WM_USER + 411;
// A command id travels as a posted message of its own (the framework's command message).
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;

// Tray mouse messages (lParam of WM_TRAY_NOTIFY).
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;

// Commands.
inline constexpr unsigned ID_START_SERVICE = 32770;
inline constexpr unsigned ID_PEER_CHAT = 32772;
inline constexpr unsigned ID_ENVIRONMENT = 32773;
inline constexpr unsigned ID_COMMUNICATOR = 32774;
inline constexpr unsigned ID_PLACES = 32775;
inline constexpr unsigned ID_TIMER_SETTINGS = 32776;
inline constexpr unsigned ID_STOP_SERVICE = 32778;
inline constexpr unsigned ID_SOUND_SETTINGS = 32779;
inline constexpr unsigned ID_USER_INTERFACE = 32780;
inline constexpr unsigned ID_CHANGE_PASSWORD = 32781;
inline constexpr unsigned ID_HELP_PAGE = 32782;
inline constexpr unsigned ID_CHECK_SAVER = 32783;
inline constexpr unsigned ID_BROADCAST_ADDRESSES = 32784;
inline constexpr unsigned ID_OPEN_MAIN_WINDOW = 32999;
inline constexpr unsigned ID_APP_ABOUT = 57664;
inline constexpr unsigned ID_APP_EXIT = 57665;
inline constexpr unsigned ID_MEMBER_LIST_BUTTON = 1031;

// Window timers.
inline constexpr int TIMER_NEWS_CHECK = 1;
inline constexpr int TIMER_MAIL_CHECK = 2;
inline constexpr int TIMER_AWAY_REMINDER = 3;
inline constexpr int TIMER_ACK_TIMEOUT = 5;
inline constexpr int TIMER_SAVER_POLL = 6;
inline constexpr int TIMER_SAVER_AWAY = 7;
inline constexpr int TIMER_MEMBER_REFRESH = 8;
inline constexpr int TIMER_MAIL_IDLE_RETRY = 9;

// Resources.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDD_KESTREL_FORM = 101;
inline constexpr int IDS_SOCKETS_INIT_FAILED = 104;
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_ENVIRONMENT = 130;
inline constexpr int IDD_LOGIN = 132;
inline constexpr int IDD_TIMER = 133;
inline constexpr int IDD_CHAT = 136;
inline constexpr int IDD_COMMUNICATOR = 138;
inline constexpr int IDD_SOUND = 141;
inline constexpr int IDD_USER_INTERFACE = 143;
inline constexpr int IDD_PASSWD_CHANGE = 144;
inline constexpr int IDD_AWAY_REMINDER = 150;
inline constexpr int IDD_PLACES = 146;
inline constexpr int IDD_MEMBER_LIST = 149;
inline constexpr int IDD_BROADCAST = 155;

inline constexpr int IDI_APP = 128;
inline constexpr int IDI_MAIL = 134;
inline constexpr int IDI_NEWS = 135;
inline constexpr int IDI_NEWS_AND_MAIL = 136;
inline constexpr int IDI_STOPPED = 138;
inline constexpr int IDI_RUNNING = 139;

// Socket event kinds.
inline constexpr int SOCKEVT_CLOSED = 0;
inline constexpr int SOCKEVT_DATA = 1;

// The reader kind that starts whatever the desktop registers for mail or news. The values
// follow the radio buttons of the environment dialog (the new button comes last), so a
// version that knows only the older kinds reads them as "other program" and starts the
// program field, which for a file that never named one fails without harm.
inline constexpr int kMailReaderDesktop = 4;
inline constexpr int kNewsReaderDesktop = 3;

// Newsgroup limit of the watch list.
inline constexpr int MAX_GROUPS = 60;

}  // namespace kestrel
