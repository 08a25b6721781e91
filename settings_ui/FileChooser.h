#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kestrel {

// The file-open dialog behind the browse buttons: the chosen file's full path, or nothing
// when the user cancels. No type filter and no read-only choice; `initialName` is the text
// the name field starts with. Tests answer from a script.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> Choose(QWidget* parent, const QString& initialName) = 0;
};

class QtFileChooser final : public FileChooser {
public:
    std::optional<QString> Choose(QWidget* parent, const QString& initialName) override;
};

}  // namespace kestrel
