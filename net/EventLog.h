#pragma once

#include <string_view>

class QObject;

namespace kestrel {

class MessageEvent;

// Where workers send their event-log texts from any thread. The main frame is the sink: it
// posts the text to itself (WM_WRITE_LOG) and writes it on the user-interface thread.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void PostLog(std::string_view text) = 0;
};

// Posts WM_WRITE_LOG with a copy of the text (cut to 2,047 bytes) to the target window.
class PostingLogSink final : public LogSink {
public:
    explicit PostingLogSink(QObject* target) : m_target(target) {}
    void PostLog(std::string_view text) override;

private:
    QObject* m_target;
};

// For a window that has no frame to log to: the texts go nowhere.
class NullLogSink final : public LogSink {
public:
    void PostLog(std::string_view) override {}
};

// Handles a WM_WRITE_LOG message (OnWriteLog); false when the message is another one.
bool HandleWriteLog(MessageEvent& message);

}  // namespace kestrel
