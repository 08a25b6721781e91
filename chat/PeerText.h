#pragma once

// Texts between the peer chat and the windows. Inside the program they are Unicode; they are
// CP932 or UTF-8 only on the wire and CP932 in the history file. Pure code.

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

struct ChatPacket;

// A conversation line on its way to the chat window: its CP932 bytes, as the history file
// holds it, and its Unicode text, as the window shows it.
struct ChatLine {
    std::string bytes;
    QString shown;
};

// CP932 bytes as Unicode; an invalid byte shows as U+FFFD.
QString FromCp932(std::string_view cp932);
// Unicode as CP932; a character CP932 lacks becomes "〓", counted in replaced when given.
std::string ToCp932(const QString& text, std::size_t* replaced = nullptr);
// No byte above 0x7F: the same in CP932 and UTF-8.
bool IsPlainAscii(std::string_view text);
// Bytes that are well-formed UTF-8 with at least one character beyond ASCII. Clients that
// send UTF-8 without saying so (iptux, for one) are read by this; CP932 text is almost never
// such, since its commonest first bytes (0x81 to 0x9F: kana, most kanji) cannot start a UTF-8
// character.
bool LooksLikeUtf8(std::string_view text);
// A name from a peer as it is shown: every control character a space.
QString PrintableNameText(const QString& text);
// The columns a text takes in the member lines' fixed-pitch font, as CP932 counts them: one
// for ASCII and half-width katakana, two for every other character.
int Cp932Columns(const QString& text);

// The most characters of a name taken from a peer's UTF-8 lines, as the name fields keep.
inline constexpr int kMostNameChars = 127;

// The UTF-8 lines an entry, answer or absence packet may carry after its text: the nickname
// and group end at a zero byte each, then a line feed and "UN:", "HN:", "NN:", "GN:" lines
// (user, host, nickname, group). A name the packet gives no line for is absent.
struct EntryNames {
    std::optional<QString> user;
    std::optional<QString> host;
    std::optional<QString> nickname;
    std::optional<QString> group;
};

// Read the lines from the bytes after the datagram's first zero byte (the group, its zero,
// then the lines). Invalid UTF-8 shows as U+FFFD; control characters become spaces; each name
// keeps at most kMostNameChars characters; a line of another kind is skipped.
EntryNames ReadEntryNames(std::string_view rest);

// The bytes that follow an entry's CP932 nickname for peers that read UTF-8: a zero byte, the
// CP932 group, a zero byte, a line feed, then a line for each name that is not plain ASCII.
// Empty when every name is plain ASCII: old and new peers then read the same text.
std::string EntryNamesTail(const QString& user, const QString& host, const QString& nickname,
                           const QString& group = {});

// The text of a received message: UTF-8 when the packet says so (IPMSG_UTF8OPT) or its text
// looks like UTF-8, CP932 otherwise; each line break one LF and every other control character
// a space.
QString MessageTextOf(const ChatPacket& packet);

}  // namespace kestrel
