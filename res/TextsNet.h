#pragma once

// Trace texts of the socket layer, written to SocketWindow.log. They are plain ASCII, so their
// UTF-8 and CP932 forms are the same bytes and they serve directly as printf formats.

namespace kestrel::txt {

inline constexpr char kTraceServerCreate[] =
    "T [TCP Server Socket Create] port = %d, socket = %08X";
inline constexpr char kTraceServerCreateError[] =
    "T [TCP Server Socket Create Error!] port = %d, socket = %08X, err = %d";
inline constexpr char kTraceListen[] = "T [TCP Server Socket Listen] port = %d, socket = %08X";
inline constexpr char kTraceListenError[] =
    "T [TCP Server Socket Listen Error!] port = %d, socket = %08X, err = %d";
inline constexpr char kTraceUdpCreate[] = "U [UDP Server Socket Create] port = %d, socket = %08X";
inline constexpr char kTraceUdpCreateError[] =
    "U [UDP Server Socket Create Error!] port = %d, socket = %08X, err = %d";
inline constexpr char kTraceClientCreate[] =
    "T [TCP Client Socket Create] port = %d, socket = %08X";
inline constexpr char kTraceClientCreateError[] =
    "T [TCP Client Socket Create Error!] port = %d, socket = %08X, err = %d";
inline constexpr char kTraceConnect[] = "T [TCP Client Socket Connect] port = %d, socket = %08X";
inline constexpr char kTraceConnectError[] =
    "T [TCP Client Socket Connect Error!] port = %d, socket = %08X, err = %d";
inline constexpr char kTraceSend[] =
    "T [TCP Socket Send(size = %d)] ipaddr = %s, port = %d, socket = %08X (%s)";
inline constexpr char kTraceSendError[] =
    "T [TCP Socket Send Error!] ipaddr = %s, port = %d, socket = %08X, err = %d (%s)";
inline constexpr char kTraceReceive[] =
    "T [TCP Socket Receive(size = %d)] ipaddr = %s, port = %d, socket = %08X (%s)";
inline constexpr char kTraceSendTo[] =
    "U [UDP Socket SendTo] ipaddr = %s, port = %d, socket = %08X (%s)";
inline constexpr char kTraceSendToError[] =
    "U [UDP Socket SendTo Error!] ipaddr = %s, port = %d, socket = %08X, err = %d (%s)";
inline constexpr char kTraceReceiveFrom[] =
    "U [UDP Socket ReceiveFrom] ipaddr = %s, port = %d, socket = %08X (%s)";
inline constexpr char kTraceAccept[] =
    "T [TCP Socket Accept] ipaddr = %s, port = %d, SrvSocket = %08X, newSocket = %08X";
inline constexpr char kTraceClosed[] =
    "T [TCP Socket Closed (%d)] ipaddr = %s, port = %d, socket = %08X";
inline constexpr char kTraceConnected[] =
    "T [TCP Socket Connected (%d)] ipaddr = %s, port = %d, socket = %08X";
inline constexpr char kTraceClose[] = "T [TCP Socket Close] ipaddr = %s, port = %d, socket = %08X";
inline constexpr char kTraceShortClose[] = "T [TCP Socket Close] socket = %08X";
inline constexpr char kTracePrimaryClose[] = "* [*** Socket Close] socket = %08X";

// Where a broadcast's address is shown.
inline constexpr char kTraceBroadcastAddress[] = "********";

}  // namespace kestrel::txt
