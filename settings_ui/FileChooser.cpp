#include "settings_ui/FileChooser.h"

#include <QFileDialog>

namespace kestrel {

std::optional<QString> QtFileChooser::Choose(QWidget* parent, const QString& initialName) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!initialName.isEmpty()) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace kestrel
