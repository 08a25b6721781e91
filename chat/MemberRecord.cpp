#include "chat/MemberRecord.h"

#include <cstdlib>

#include "chat/PeerText.h"
#include "res/Cp932.h"
#include "res/Text.h"
#include "res/TextsChat.h"

namespace kestrel {

namespace {

void PadTo(std::string& text, std::size_t start, std::size_t width) {
    const std::size_t written = text.size() - start;
    if (written < width) text.append(width - written, ' ');
}

const std::string& PresenceText(const MemberRecord& record) {
    return sjis(record.present == 1 ? txt::kMemberPresent : txt::kMemberAway);
}

// Shared middle of both lines: " [host(address:port)] presence whereabouts".
void AppendBracket(std::string& line, const MemberRecord& record) {
    line += " [";
    line += FieldText(record.host);
    line += '(';
    line += MemberKey(record);
    line += ")] ";
    line += PresenceText(record);
    line += FieldText(record.whereabouts);
}

QString Choose(const QString& text, std::string_view cp932) {
    return text.isNull() ? FromCp932(cp932) : text;
}

QString PresenceTextOf(const MemberRecord& record) {
    return QString::fromUtf8(record.present == 1 ? txt::kMemberPresent : txt::kMemberAway);
}

QString BracketText(const MemberRecord& record) {
    return QStringLiteral(" [") + HostText(record) + QLatin1Char('(') +
           QString::fromStdString(MemberKey(record)) + QStringLiteral(")] ") +
           PresenceTextOf(record) + WhereaboutsText(record);
}

QString TrimRightText(QString text) {
    while (!text.isEmpty() && (text.back() == QLatin1Char(' ') || text.back() == QLatin1Char('\t')))
        text.chop(1);
    return text;
}

}  // namespace

QString NicknameText(const MemberRecord& record) {
    return Choose(record.nicknameText, FieldText(record.nickname));
}

QString HostText(const MemberRecord& record) {
    return Choose(record.hostText, FieldText(record.host));
}

QString WhereaboutsText(const MemberRecord& record) {
    return Choose(record.whereaboutsText, FieldText(record.whereabouts));
}

QString MemberListLineText(const MemberRecord& record) {
    QString line = NicknameText(record);
    const int columns = Cp932Columns(line);
    if (columns < 20) line += QString(20 - columns, QLatin1Char(' '));
    return line + BracketText(record) + QStringLiteral("    ") +
           FromCp932(FieldText(record.version));
}

QString ChatMemberLineText(const MemberRecord& record) {
    return NicknameText(record) + BracketText(record);
}

QString ReceivedChatLineText(const MemberRecord& sender, const QString& text) {
    return QString::fromUtf8(txt::kChatReceivedMark) + TrimRightText(NicknameText(sender)) +
           QLatin1Char('(') + HostText(sender) + QStringLiteral(")]  ") + text;
}

std::string MemberKey(std::string_view address, int port) {
    std::string key(address);
    key += ':';
    key += std::to_string(port);
    return key;
}

std::string MemberKey(const MemberRecord& record) {
    return MemberKey(FieldText(record.address), record.port);
}

std::string MemberListLine(const MemberRecord& record) {
    std::string line = FieldText(record.nickname);
    PadTo(line, 0, 20);
    AppendBracket(line, record);
    line += "    ";
    line += FieldText(record.version);
    return line;
}

std::string ChatMemberLine(const MemberRecord& record) {
    std::string line = FieldText(record.nickname);
    AppendBracket(line, record);
    return line;
}

std::string ReceivedChatLine(const MemberRecord& sender, std::string_view text) {
    std::string line = sjis(txt::kChatReceivedMark);
    line += TrimRight(FieldText(sender.nickname));
    line += '(';
    line += FieldText(sender.host);
    line += ")]  ";
    line += text;
    return line;
}

std::string KeyOfLine(std::string_view line) {
    const std::size_t open = Cp932Find(line, '[');
    if (open == std::string_view::npos) return {};
    std::string_view inside = line.substr(open + 1);
    inside = inside.substr(0, Cp932Find(inside, ']'));
    const std::size_t left = Cp932Find(inside, '(');
    if (left == std::string_view::npos) return {};
    inside.remove_prefix(left + 1);
    const std::size_t right = Cp932Find(inside, ')');
    if (right == std::string_view::npos) return {};
    return std::string(inside.substr(0, right));
}

std::optional<MemberAddress> SplitKey(std::string_view key) {
    const std::size_t colon = key.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    MemberAddress result;
    result.address = std::string(key.substr(0, colon));
    result.port = std::atoi(std::string(key.substr(colon + 1)).c_str());
    return result;
}

std::string HostOfLine(std::string_view line) {
    const std::size_t open = Cp932Find(line, '[');
    if (open == std::string_view::npos) return {};
    std::string_view inside = line.substr(open + 1);
    inside = inside.substr(0, Cp932Find(inside, ']'));
    return std::string(inside.substr(0, Cp932Find(inside, '(')));
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return std::string(text.substr(0, end));
}

}  // namespace kestrel
