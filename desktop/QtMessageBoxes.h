#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace kestrel {

// Modal QMessageBox on the user-interface thread. The parent may be null (no owner window).
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }
    BoxAnswer Show(const std::string& text, const std::string& caption, BoxIcon icon,
                   BoxButtons buttons) override;

private:
    QWidget* m_parent;
};

}  // namespace kestrel
