#include "chat/MemberRecord.h"

#include <cstdlib>

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

}  // namespace

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
