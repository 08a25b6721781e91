#pragma once

// Test doubles for what the peer chat drives: the speaker, the seat notices, the posted event
// log and the window that receives its messages.

#include <QEvent>
#include <QObject>

#include <string>
#include <utility>
#include <vector>

#include "chat/ChatFacilities.h"
#include "chat/ChatPacket.h"
#include "chat/MemberRecord.h"
#include "chat/PeerText.h"
#include "net/EventLog.h"
#include "platform/MessageEvent.h"

namespace kestrel::test {

class RecordingBeeper final : public Beeper {
public:
    void Beep(int frequencyHz, int durationMs) override {
        beeps.emplace_back(frequencyHz, durationMs);
    }
    std::vector<std::pair<int, int>> beeps;
};

class RecordingSeatNotifier final : public SeatNotifier {
public:
    void ShowSeatNotice(const std::string& text) override { notices.push_back(text); }
    std::vector<std::string> notices;
};

class RecordingLogSink final : public LogSink {
public:
    void PostLog(std::string_view text) override { lines.emplace_back(text); }
    bool Has(const std::string& line) const {
        for (const auto& l : lines)
            if (l == line) return true;
        return false;
    }
    std::vector<std::string> lines;
};

// Records the messages posted to it, taking the blocks the peer chat sends.
class RecordingWindow final : public QObject {
public:
    struct Received {
        unsigned message = 0;
        std::intptr_t wParam = 0;
        std::optional<MemberRecord> record;
        std::optional<ChatText> text;
        std::optional<std::string> messageText;  // a received message, as the view gets it
        QString messageUnicode;                  // and as it was written, when in UTF-8
        std::string line;   // a conversation line, as the view hands it to the chat window
        QString shownLine;  // and as the window shows it
    };

    std::vector<Received> received;

    std::vector<Received> Of(unsigned message) const {
        std::vector<Received> found;
        for (const auto& r : received)
            if (r.message == message) found.push_back(r);
        return found;
    }

protected:
    void customEvent(QEvent* e) override {
        MessageEvent* m = asMessage(e);
        if (!m) return;
        Received r;
        r.message = m->message();
        r.wParam = m->wParam();
        if (auto first = m->takeFirst<MemberRecord>()) r.record = *first;
        if (auto second = m->takeSecond<MemberRecord>()) r.record = *second;
        if (auto text = m->takeSecond<ChatText>()) r.text = *text;
        if (auto text = m->takeSecond<MessageText>()) {
            r.messageText = text->text;
            r.messageUnicode = text->unicode;
        }
        if (auto line = m->takeSecond<std::string>()) r.line = *line;
        if (auto line = m->takeSecond<ChatLine>()) {
            r.line = line->bytes;
            r.shownLine = line->shown;
        }
        received.push_back(std::move(r));
    }
};

}  // namespace kestrel::test
