#include "settings_ui/ListSettingDlg.h"

#include <QListWidget>

#include "platform/QtText.h"
#include "settings/ListCodec.h"
#include "settings/ViewSettingsFields.h"

namespace kestrel {

ListSettingDlg::ListSettingDlg(MessageBoxes& boxes, const char* className, int resourceId,
                               const char* captionUtf8, const SettingKey& key, QWidget* parent)
    : SettingsDlg(boxes, className, resourceId, captionUtf8, parent), m_key(key) {}

void ListSettingDlg::Loaded() {
    m_list->clear();
    for (const std::string& item : DecodeList(*StringField(Values(), m_key)))
        m_list->addItem(fromSjis(item));
}

bool ListSettingDlg::AfterTake(ViewSettings& taken) {
    std::vector<std::string> items;
    for (int i = 0; i < m_list->count(); ++i) items.push_back(toSjis(m_list->item(i)->text()));
    *StringField(taken, m_key) = EncodeList(items);
    return true;
}

}  // namespace kestrel
