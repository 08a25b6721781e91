#pragma once

// The settings dialogs without a screen: controls found by their ids, boxes and file
// choices answered from a script.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "res/Cp932.h"
#include "settings/SettingsStore.h"
#include "settings/ViewSettings.h"
#include "settings_ui/FileChooser.h"
#include "settings_ui/SettingsDlg.h"
#include "tests/fakes/RecordingMessageBoxes.h"

namespace kestrel::test {

class ScriptedFileChooser final : public FileChooser {
public:
    std::optional<QString> Choose(QWidget*, const QString& initialName) override {
        initialNames.push_back(initialName);
        return answer;
    }
    std::vector<QString> initialNames;
    std::optional<QString> answer;
};

template <class T>
T* Control(QWidget& dialog, const QString& name) {
    T* found = dialog.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

inline QLineEdit* Edit(QWidget& d, int id) {
    return Control<QLineEdit>(d, QStringLiteral("edit%1").arg(id));
}
inline QAbstractButton* Check(QWidget& d, int id) {
    return Control<QAbstractButton>(d, QStringLiteral("check%1").arg(id));
}
inline QAbstractButton* Radio(QWidget& d, int id) {
    return Control<QAbstractButton>(d, QStringLiteral("radio%1").arg(id));
}
inline QAbstractButton* Button(QWidget& d, int id) {
    return Control<QAbstractButton>(d, QStringLiteral("button%1").arg(id));
}
inline QComboBox* Combo(QWidget& d, int id) {
    return Control<QComboBox>(d, QStringLiteral("combo%1").arg(id));
}
inline QListWidget* List(QWidget& d, int id) {
    return Control<QListWidget>(d, QStringLiteral("list%1").arg(id));
}
inline QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The store's defaults, as the view holds them at a first start.
inline ViewSettings Defaults() {
    SettingsStore store;
    ViewSettings v;
    v.Load(store);
    return v;
}

inline bool Accepted(const QDialog& d) {
    return d.result() == QDialog::Accepted;
}

// Two copies hold the same values (the copy is a plain struct with no comparison).
inline bool SameValues(const ViewSettings& a, const ViewSettings& b) {
    return a.NNTPServer == b.NNTPServer && a.POPServer == b.POPServer && a.NewsFile == b.NewsFile &&
           a.MailFile == b.MailFile && a.DefaultUserId == b.DefaultUserId &&
           a.NNTPPort == b.NNTPPort && a.POPPort == b.POPPort && a.AUTHPort == b.AUTHPort &&
           a.PSWDPort == b.PSWDPort && a.NewsReader == b.NewsReader &&
           a.MailReader == b.MailReader && a.NewsCheck == b.NewsCheck &&
           a.MailCheck == b.MailCheck && a.Identify == b.Identify &&
           a.PasswdCheck == b.PasswdCheck && a.ChatPort == b.ChatPort && a.Chating == b.Chating &&
           a.AliaseName == b.AliaseName && a.BroadIPs == b.BroadIPs && a.Places == b.Places &&
           a.NewsTimer == b.NewsTimer && a.MailTimer == b.MailTimer && a.CheckDays == b.CheckDays &&
           a.Sound == b.Sound && a.SoundFile == b.SoundFile && a.BeIcon == b.BeIcon &&
           a.BePopup == b.BePopup && a.POPSecurity == b.POPSecurity &&
           a.NNTPSecurity == b.NNTPSecurity && a.TLSCAFile == b.TLSCAFile;
}

}  // namespace kestrel::test
