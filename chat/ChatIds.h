#pragma once

// Command codes of the IP Messenger protocol, the peer chat's own message numbers and the
// kinds of member events.

#include "res/Ids.h"

namespace kestrel {

inline constexpr int IPMSG_NOOPERATION = 0x00;
inline constexpr int IPMSG_BR_ENTRY = 0x01;
inline constexpr int IPMSG_BR_EXIT = 0x02;
inline constexpr int IPMSG_ANSENTRY = 0x03;
inline constexpr int IPMSG_BR_ABSENCE = 0x04;
inline constexpr int IPMSG_SENDMSG = 0x20;
inline constexpr int IPMSG_RECVMSG = 0x21;
inline constexpr int IPMSG_GETINFO = 0x40;
inline constexpr int IPMSG_SENDINFO = 0x41;
inline constexpr int IPMSG_GETABSENCEINFO = 0x50;
inline constexpr int IPMSG_SENDABSENCEINFO = 0x51;

// The one option bit the program reads or sets: away with the entry, answer and absence
// commands, acknowledgement wanted with a message.
inline constexpr int IPMSG_ABSENCEOPT = 0x100;
inline constexpr int IPMSG_SENDCHECKOPT = 0x100;
// A message to everyone, and an automatic answer: never acknowledged or answered, so that two
// clients cannot answer each other's answers for ever.
inline constexpr int IPMSG_BROADCASTOPT = 0x400;
inline constexpr int IPMSG_AUTORETOPT = 0x2000;
// A message whose text is UTF-8; a member that reads such messages (announced with its entry,
// answer and absence packets).
inline constexpr int IPMSG_UTF8OPT = 0x00800000;
inline constexpr int IPMSG_CAPUTF8OPT = 0x01000000;

inline constexpr unsigned WM_CHAT_ENTRY = WM_USER + 300;
inline constexpr unsigned WM_CHAT_ABSENCE = WM_USER + 301;
inline constexpr unsigned WM_CHAT_EXIT = WM_USER + 302;
inline constexpr unsigned WM_CHAT_RECVMSG = WM_USER + 304;
inline constexpr unsigned WM_CHAT_SENDMSG = WM_USER + 305;
inline constexpr unsigned WM_CHAT_GETINFO = WM_USER + 306;
inline constexpr unsigned WM_CHAT_SENDINFO = WM_USER + 307;
inline constexpr unsigned WM_CHAT_GETABSENCEINFO = WM_USER + 308;
inline constexpr unsigned WM_CHAT_SENDABSENCEINFO = WM_USER + 309;

inline constexpr int MEMBER_ADDED = 1;
inline constexpr int MEMBER_UPDATED = 2;
inline constexpr int MEMBER_LEFT = 3;

// The chat window's drop-down and the member list window show at most this many characters
// of the chat dialog's edit.
inline constexpr int kChatTextLimit = 150;

}  // namespace kestrel
