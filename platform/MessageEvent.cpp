#include "platform/MessageEvent.h"

namespace kestrel {

QEvent::Type MessageEvent::type() {
    static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
    return t;
}

void PostMessage(QObject* target, unsigned message, std::intptr_t wParam, std::intptr_t lParam,
                 std::unique_ptr<Payload> first, std::unique_ptr<Payload> second) {
    if (!target) return;
    auto* event = new MessageEvent(message, wParam, lParam, std::move(first), std::move(second));
    handOverEvent(event);
    QCoreApplication::postEvent(target, event);
}

}  // namespace kestrel
