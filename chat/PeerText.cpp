#include "chat/PeerText.h"

#include <algorithm>

#include "chat/ChatIds.h"
#include "chat/ChatPacket.h"
#include "res/Cp932.h"

namespace kestrel {

namespace {

QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Utf8Of(const QString& text) {
    return text.toStdString();
}

void AppendLine(std::string& tail, const char* tag, const QString& name) {
    const std::string utf8 = Utf8Of(name);
    if (IsPlainAscii(utf8)) return;
    tail += tag;
    tail += utf8;
    tail += '\n';
}

}  // namespace

QString FromCp932(std::string_view cp932) {
    return IsPlainAscii(cp932) ? FromUtf8(cp932) : QString::fromStdString(cp932ToUtf8(cp932));
}

std::string ToCp932(const QString& text, std::size_t* replaced) {
    const std::string utf8 = Utf8Of(text);
    return IsPlainAscii(utf8) ? utf8 : utf8ToCp932Marked(utf8, replaced);
}

bool IsPlainAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > 0x7F) return false;
    return true;
}

bool LooksLikeUtf8(std::string_view text) {
    bool wide = false;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned low = 0x80;  // the least second byte: no overlong forms, no surrogates
        unsigned high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
        }
        wide = true;
        i += length;
    }
    return wide;
}

QString PrintableNameText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return out;
}

int Cp932Columns(const QString& text) {
    int columns = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        // A surrogate pair is one character.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i;
        columns += c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) ? 1 : 2;
    }
    return columns;
}

EntryNames ReadEntryNames(std::string_view rest) {
    EntryNames names;
    // The group first, up to its zero byte; without one there are no lines.
    const std::size_t groupEnd = rest.find('\0');
    if (groupEnd == std::string_view::npos) return names;
    std::string_view lines = rest.substr(groupEnd + 1);
    lines = lines.substr(0, lines.find('\0'));
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        std::string_view line = lines.substr(0, end);
        lines = end == std::string_view::npos ? std::string_view() : lines.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 3 || line[2] != ':') continue;
        const std::string_view tag = line.substr(0, 2);
        std::optional<QString>* slot = tag == "UN"   ? &names.user
                                       : tag == "HN" ? &names.host
                                       : tag == "NN" ? &names.nickname
                                       : tag == "GN" ? &names.group
                                                     : nullptr;
        // An empty line names nothing: the CP932 field stands.
        if (!slot || line.size() == 3) continue;
        QString name = PrintableNameText(FromUtf8(line.substr(3)));
        // Never half a surrogate pair at the cut.
        qsizetype keep = std::min<qsizetype>(name.size(), kMostNameChars);
        if (keep > 0 && keep < name.size() && name.at(keep - 1).isHighSurrogate()) --keep;
        *slot = name.left(keep);
    }
    return names;
}

std::string EntryNamesTail(const QString& user, const QString& host, const QString& nickname,
                           const QString& group) {
    std::string lines;
    AppendLine(lines, "UN:", user);
    AppendLine(lines, "HN:", host);
    AppendLine(lines, "NN:", nickname);
    AppendLine(lines, "GN:", group);
    if (lines.empty()) return {};
    std::string tail(1, '\0');
    tail += ToCp932(group);
    tail += '\0';
    tail += '\n';
    tail += lines;
    return tail;
}

QString MessageTextOf(const ChatPacket& packet) {
    const std::string text = PrintableMessage(packet.extra);
    return (packet.options & IPMSG_UTF8OPT) != 0 || LooksLikeUtf8(text) ? FromUtf8(text)
                                                                        : FromCp932(text);
}

}  // namespace kestrel
