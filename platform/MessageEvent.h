#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <cstdint>
#include <memory>
#include <utility>

namespace kestrel {

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
    return e->type() == MessageEvent::type() ? static_cast<MessageEvent*>(e) : nullptr;
}

}  // namespace kestrel
