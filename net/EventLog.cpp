#include "net/EventLog.h"

#include <memory>
#include <string>

#include "net/TraceLog.h"
#include "platform/MessageEvent.h"
#include "res/Ids.h"

namespace kestrel {

namespace {

// The event-log block holds a zero-terminated text in 2,048 bytes.
constexpr std::size_t kMaxLogText = 2047;

}  // namespace

void PostingLogSink::PostLog(std::string_view text) {
    // The block is read as a C string, so the text ends at its first zero byte.
    if (const auto zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    if (text.size() > kMaxLogText) text = text.substr(0, kMaxLogText);
    PostMessage(m_target, WM_WRITE_LOG, 0, 0, nullptr, own(std::string(text)));
}

bool HandleWriteLog(MessageEvent& message) {
    if (message.message() != WM_WRITE_LOG) return false;
    // Taking the block releases it when this handler returns, whether tracing is on or off.
    if (const auto text = message.takeSecond<std::string>()) OnWriteLog(*text);
    return true;
}

}  // namespace kestrel
