#pragma once

#include <QIcon>
#include <QString>

namespace kestrel {

// The program's icons by resource id (IDI_APP, IDI_STOPPED, ...). The frame shows one id on
// the tray, the window and the status form alike, so all three come from here.
class IconCatalog {
public:
    // Resource path of an icon id, empty when the id is not one of the program's icons.
    static QString ResourcePath(int iconId);

    // The icon drawn at the tray, window and form sizes; a null icon when the id is unknown
    // or its picture cannot be read, so the caller can leave what it shows unchanged.
    static QIcon Icon(int iconId);
};

}  // namespace kestrel
