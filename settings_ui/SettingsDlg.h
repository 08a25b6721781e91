#pragma once

#include <QDialog>

#include "settings/ViewSettings.h"
#include "settings_ui/FieldBinder.h"

class QCheckBox;
class QGridLayout;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kestrel {

class MessageBoxes;

// What the settings dialogs share: the dialog font, the object name "<class><resource>",
// and a copy of the view's settings that the fields are loaded from and, at an accepted OK
// only, taken into. Nothing is written anywhere by a dialog; the view writes after OK.
class SettingsDlg : public QDialog {
    Q_OBJECT
public:
    void SetValues(const ViewSettings& values);
    const ViewSettings& Values() const { return m_values; }

    // OK: the dialog's own checks around taking the fields; a refusal keeps it open.
    void accept() override;

protected:
    SettingsDlg(MessageBoxes& boxes, const char* className, int resourceId, const char* captionUtf8,
                QWidget* parent);

    // Before the fields are taken (a question may stop the OK here).
    virtual bool BeforeTake() { return true; }
    // After they were taken into `taken`, before the dialog closes.
    virtual bool AfterTake(ViewSettings& taken) {
        (void)taken;
        return true;
    }
    // After the fields were loaded: lists filled, greying set.
    virtual void Loaded() {}

    MessageBoxes& m_boxes;
    FieldBinder m_binder;

private:
    ViewSettings m_values;
};

// Controls named after their ids, for the tests to find.
QCheckBox* MakeCheck(int id, const char* textUtf8);
QRadioButton* MakeRadio(int id, const char* textUtf8);
QPushButton* MakeButton(int id, const char* textUtf8);
QListWidget* MakeList(int id);

}  // namespace kestrel
