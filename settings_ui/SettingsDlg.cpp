#include "settings_ui/SettingsDlg.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "ui/DialogKit.h"

namespace kestrel {

SettingsDlg::SettingsDlg(MessageBoxes& boxes, const char* className, int resourceId,
                         const char* captionUtf8, QWidget* parent)
    : QDialog(parent), m_boxes(boxes), m_binder(boxes) {
    setObjectName(QLatin1String(className) + QString::number(resourceId));
    setWindowTitle(QString::fromUtf8(captionUtf8));
    setFont(DialogFont(9));
}

void SettingsDlg::SetValues(const ViewSettings& values) {
    m_values = values;
    m_binder.Load(m_values);
    Loaded();
}

void SettingsDlg::accept() {
    if (!BeforeTake()) return;
    ViewSettings taken = m_values;
    if (!m_binder.Take(taken)) return;
    if (!AfterTake(taken)) return;
    m_values = std::move(taken);
    QDialog::accept();
}

QCheckBox* MakeCheck(int id, const char* textUtf8) {
    auto* box = new QCheckBox(QString::fromUtf8(textUtf8));
    box->setObjectName(QStringLiteral("check%1").arg(id));
    return box;
}

QRadioButton* MakeRadio(int id, const char* textUtf8) {
    auto* radio = new QRadioButton(QString::fromUtf8(textUtf8));
    radio->setObjectName(QStringLiteral("radio%1").arg(id));
    return radio;
}

QPushButton* MakeButton(int id, const char* textUtf8) {
    auto* button = new QPushButton(QString::fromUtf8(textUtf8));
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

QListWidget* MakeList(int id) {
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("list%1").arg(id));
    return list;
}

}  // namespace kestrel
