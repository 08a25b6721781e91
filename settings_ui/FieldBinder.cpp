#include "settings_ui/FieldBinder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>

#include <string>

#include "platform/MessageBoxes.h"
#include "platform/QtText.h"
#include "res/Text.h"
#include "res/TextsCore.h"
#include "res/TextsSettingsDlg.h"
#include "settings/InputChecks.h"
#include "settings/ViewSettings.h"
#include "settings/ViewSettingsFields.h"

namespace kestrel {

void FieldBinder::Text(QLineEdit* edit, const SettingKey& key) {
    m_bindings.push_back({Kind::Text, edit, nullptr, nullptr, &key});
}

void FieldBinder::Number(QLineEdit* edit, const SettingKey& key, int min, int max) {
    m_bindings.push_back({Kind::Number, edit, nullptr, nullptr, &key, min, max});
}

void FieldBinder::Check(QAbstractButton* box, const SettingKey& key) {
    m_bindings.push_back({Kind::Check, nullptr, box, nullptr, &key});
}

void FieldBinder::Radio(QButtonGroup* group, const SettingKey& key) {
    m_bindings.push_back({Kind::Radio, nullptr, nullptr, group, &key});
}

void FieldBinder::Choice(QComboBox* combo, const SettingKey& key) {
    Binding b{Kind::Choice, nullptr, nullptr, nullptr, &key};
    b.combo = combo;
    m_bindings.push_back(b);
}

void FieldBinder::Load(const ViewSettings& values) const {
    for (const Binding& b : m_bindings) {
        switch (b.kind) {
            case Kind::Text:
                b.edit->setText(fromSjis(*StringField(values, *b.key)));
                break;
            case Kind::Number:
                b.edit->setText(QString::number(*IntField(values, *b.key)));
                break;
            case Kind::Check:
                b.box->setChecked(*IntField(values, *b.key) != 0);
                break;
            case Kind::Radio: {
                // An exclusive group cannot be emptied by unticking its checked button.
                b.group->setExclusive(false);
                for (QAbstractButton* button : b.group->buttons()) button->setChecked(false);
                b.group->setExclusive(true);
                if (QAbstractButton* button = b.group->button(*IntField(values, *b.key)))
                    button->setChecked(true);
                break;
            }
            case Kind::Choice: {
                const int value = *IntField(values, *b.key);
                b.combo->setCurrentIndex(value >= 0 && value < b.combo->count() ? value : -1);
                break;
            }
        }
    }
}

bool FieldBinder::TakeNumber(const Binding& b, int& out) const {
    const std::optional<unsigned> value = ParseUnsignedField(toSjis(b.edit->text()));
    std::string text;
    if (!value) {
        text = sjis(txt::kEnterPositiveInteger);
    } else if (*value < static_cast<unsigned>(b.min) || *value > static_cast<unsigned>(b.max)) {
        text = sjis(txt::kEnterIntegerRange);
        text.replace(text.find("%1"), 2, std::to_string(b.min));
        text.replace(text.find("%2"), 2, std::to_string(b.max));
    } else {
        out = static_cast<int>(*value);
        return true;
    }
    m_boxes.Show(text, sjis(txt::kProductTitle), BoxIcon::Warning, BoxButtons::Ok);
    b.edit->setFocus();
    b.edit->selectAll();
    return false;
}

bool FieldBinder::Take(ViewSettings& values) const {
    ViewSettings taken = values;
    for (const Binding& b : m_bindings) {
        switch (b.kind) {
            case Kind::Text:
                *StringField(taken, *b.key) = toSjis(b.edit->text());
                break;
            case Kind::Number:
                if (!TakeNumber(b, *IntField(taken, *b.key))) return false;
                break;
            case Kind::Check:
                *IntField(taken, *b.key) = b.box->isChecked() ? 1 : 0;
                break;
            case Kind::Radio:
                if (b.group->checkedId() != -1) *IntField(taken, *b.key) = b.group->checkedId();
                break;
            case Kind::Choice:
                if (b.combo->currentIndex() != -1)
                    *IntField(taken, *b.key) = b.combo->currentIndex();
                break;
        }
    }
    values = std::move(taken);
    return true;
}

}  // namespace kestrel
