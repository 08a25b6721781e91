#pragma once

// One member of the peer chat, and the texts the windows make of it.

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// Fixed-size and zero-terminated, copied by value into member events and snapshots. Texts
// from the network that do not fit are cut on a CP932 character boundary.
//
// The names are also kept as the member gave them, in Unicode, for the windows: a name from a
// member's UTF-8 lines may hold characters that CP932 lacks, which its CP932 field holds as
// "〓". A null text means the CP932 field is the whole name.
struct MemberRecord {
    char nickname[128] = {};
    char user[128] = {};
    char host[128] = {};
    std::int32_t present = 1;
    char whereabouts[64] = {};
    char address[32] = {};
    std::int32_t port = 0;
    char version[128] = {};
    // The member reads UTF-8 messages (it announced so with its last entry or absence).
    bool utf8 = false;
    QString nicknameText;
    QString userText;
    QString hostText;
    QString whereaboutsText;
};

// A name of the record in Unicode: its Unicode text, else its CP932 field converted.
QString NicknameText(const MemberRecord& record);
QString HostText(const MemberRecord& record);
QString WhereaboutsText(const MemberRecord& record);

// Read a field back as text (never past its size).
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field, n);
}

// "%s:%d" of address and port: the key of seat-wait entries and of lines in the windows.
std::string MemberKey(std::string_view address, int port);
std::string MemberKey(const MemberRecord& record);

// The member list window's line: "%-20s [%-s(%s:%d)] %-s%-s    %-s" of nickname, host,
// address, port, presence text, whereabouts and version.
std::string MemberListLine(const MemberRecord& record);
// The chat window's drop-down line: "%s [%s(%s:%d)] %s%s" of nickname, host, address,
// port, presence text and whereabouts.
std::string ChatMemberLine(const MemberRecord& record);

// The conversation line of a received message: "受[%s(%s)]  %s" of the nickname without its
// trailing blanks, the host and the text.
std::string ReceivedChatLine(const MemberRecord& sender, std::string_view text);

// The same lines in Unicode, as the windows show them: the names as the member gave them, the
// nickname of the member list padded to the columns its CP932 form takes.
QString MemberListLineText(const MemberRecord& record);
QString ChatMemberLineText(const MemberRecord& record);
QString ReceivedChatLineText(const MemberRecord& sender, const QString& text);

// The key inside a line: after the first "[", up to the next "]", between "(" and ")".
// Empty when the line has no such part.
std::string KeyOfLine(std::string_view line);

// A key split at its first ":" into address and port (decimal); none without a colon.
struct MemberAddress {
    std::string address;
    int port = 0;
};
std::optional<MemberAddress> SplitKey(std::string_view key);

// The host inside a line: after the first "[", up to the first "(" (or the next "]").
std::string HostOfLine(std::string_view line);

// Text with its trailing blanks removed.
std::string TrimRight(std::string_view text);

}  // namespace kestrel
