#pragma once

#include "settings/SettingsDialogs.h"

class QWidget;

namespace kestrel {

class FileChooser;
class MessageBoxes;

// The real settings dialogs behind the view's flows.
class QtSettingsDialogs final : public SettingsDialogs {
public:
    QtSettingsDialogs(MessageBoxes& boxes, FileChooser& files, QWidget* parent)
        : m_boxes(boxes), m_files(files), m_parent(parent) {}
    bool Run(SettingsDialogKind kind, ViewSettings& values, bool serviceRunning) override;

private:
    MessageBoxes& m_boxes;
    FileChooser& m_files;
    QWidget* m_parent;
};

}  // namespace kestrel
