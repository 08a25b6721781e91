#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdint>
#include <memory>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define KESTREL_TSAN_HANDOVER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTREL_TSAN_HANDOVER 1
#endif
#endif
#ifdef KESTREL_TSAN_HANDOVER
#include <sanitizer/tsan_interface.h>
#endif

namespace kestrel {

// A posted event crosses threads through the lock inside QCoreApplication::postEvent. Qt's
// libraries are not built with ThreadSanitizer, so under it the lock is invisible and the
// receiver's first read of an event made on a worker looks like a race. The poster releases the
// event's address and the receiver acquires it, which states the order the lock gives.
inline void handOverEvent([[maybe_unused]] QEvent* e) {
#ifdef KESTREL_TSAN_HANDOVER
    __tsan_release(e);
#endif
}
inline void takeOverEvent([[maybe_unused]] QEvent* e) {
#ifdef KESTREL_TSAN_HANDOVER
    __tsan_acquire(e);
#endif
}

// Base of a block handed on with a posted message. The receiving handler owns it; when the
// target is gone before the message is handled, Qt deletes the event and with it the block.
struct Payload {
    virtual ~Payload() = default;
};

template <class T>
struct PayloadOf final : Payload {
    explicit PayloadOf(T v) : value(std::move(v)) {}
    T value;
};

template <class T>
std::unique_ptr<Payload> own(T value) {
    return std::make_unique<PayloadOf<T>>(std::move(value));
}

// A posted window message: the message number and two parameters, each either a plain value
// or an owned block.
class MessageEvent final : public QEvent {
public:
    static QEvent::Type type();

    MessageEvent(unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                 std::unique_ptr<Payload> first, std::unique_ptr<Payload> second)
        : QEvent(type()),
          m_message(message),
          m_wParam(wParam),
          m_lParam(lParam),
          m_first(std::move(first)),
          m_second(std::move(second)) {}

    unsigned message() const { return m_message; }
    std::intptr_t wParam() const { return m_wParam; }
    std::intptr_t lParam() const { return m_lParam; }

    // Take ownership of a block; null when absent or of another type.
    template <class T>
    std::unique_ptr<T> takeFirst() {
        return take<T>(m_first);
    }
    template <class T>
    std::unique_ptr<T> takeSecond() {
        return take<T>(m_second);
    }
    bool hasFirst() const { return m_first != nullptr; }
    bool hasSecond() const { return m_second != nullptr; }

private:
    template <class T>
    static std::unique_ptr<T> take(std::unique_ptr<Payload>& slot) {
        auto* holder = dynamic_cast<PayloadOf<T>*>(slot.get());
        if (!holder) return nullptr;
        auto result = std::make_unique<T>(std::move(holder->value));
        slot.reset();
        return result;
    }

    unsigned m_message;
    std::intptr_t m_wParam;
    std::intptr_t m_lParam;
    std::unique_ptr<Payload> m_first;
    std::unique_ptr<Payload> m_second;
};

// Post a message to a window object; safe from any thread. The blocks belong to the handler.
void PostMessage(QObject* target, unsigned message, std::intptr_t wParam = 0,
                 std::intptr_t lParam = 0, std::unique_ptr<Payload> first = {},
                 std::unique_ptr<Payload> second = {});

inline MessageEvent* asMessage(QEvent* e) {
    takeOverEvent(e);
    return e->type() == MessageEvent::type() ? static_cast<MessageEvent*>(e) : nullptr;
}

}  // namespace kestrel
