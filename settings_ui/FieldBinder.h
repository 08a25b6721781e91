#pragma once

#include <climits>
#include <vector>

#include "settings/SettingKeys.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace kestrel {

class MessageBoxes;
struct ViewSettings;

// Binds a dialog's controls to stored values by their descriptors, so each control names its
// key once and the values travel between the controls and a copy of the view's settings
// without per-dialog copying. Greyed controls are bound like the others: their values are
// taken all the same.
class FieldBinder {
public:
    explicit FieldBinder(MessageBoxes& boxes) : m_boxes(boxes) {}

    // A text field, taken as typed (CP932), empty or not.
    void Text(QLineEdit* edit, const SettingKey& key);
    // An unsigned number field. A value the dialog bounds is refused outside min..max; any
    // other stays within what the stored 32-bit integer holds.
    void Number(QLineEdit* edit, const SettingKey& key, int min = 0, int max = INT_MAX);
    // An on/off value as a check box: 1 ticked, 0 not.
    void Check(QAbstractButton* box, const SettingKey& key);
    // A choice of radio buttons whose ids in the group are the stored values. A stored value
    // without a button ticks none and is kept as it was when none is ticked at OK.
    void Radio(QButtonGroup* group, const SettingKey& key);
    // A drop-down whose item indexes are the stored values; like the radios, a stored value
    // without an item selects none and is kept as it was.
    void Choice(QComboBox* combo, const SettingKey& key);

    void Load(const ViewSettings& values) const;
    // Takes every field into `values`. A refused number shows its message, selects the field
    // and leaves `values` untouched; false then.
    bool Take(ViewSettings& values) const;

private:
    enum class Kind { Text, Number, Check, Radio, Choice };
    struct Binding {
        Kind kind;
        QLineEdit* edit = nullptr;
        QAbstractButton* box = nullptr;
        QButtonGroup* group = nullptr;
        const SettingKey* key;
        int min = 0;
        int max = INT_MAX;
        QComboBox* combo = nullptr;
    };

    bool TakeNumber(const Binding& b, int& out) const;

    MessageBoxes& m_boxes;
    std::vector<Binding> m_bindings;
};

}  // namespace kestrel
