#pragma once

#include <memory>

#include "identity/LocalIdentity.h"
#include "ui/ProgramValues.h"

namespace kestrel {

class CKestrelView;
class CMainFrame;
class DbusScreenSaver;
class KeychainVault;
class LoginDialog;
class PasswordChangeDialog;
class FileChooser;
class SettingsDialogs;
class MessageBoxes;
class NoticePresenter;
class SettingsStore;
class SingleInstance;
class SoundPlayer;
class WorkerFactory;

// The application object: created first, lives for the whole process, holds the program-wide
// values and runs the start-up sequence.
class CKestrelApp {
public:
    // boxes: where start-up and the view show their message boxes (null: real boxes).
    explicit CKestrelApp(MessageBoxes* boxes = nullptr);
    ~CKestrelApp();

    // The start-up sequence. False ends the process at once; true with no main window means
    // another copy runs and this one has said so.
    bool InitInstance();

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CKestrelView* View() const { return m_view; }
    SettingsStore& Store() const { return *m_store; }

    ProgramValues values;
    LocalIdentity identity;

private:
    std::unique_ptr<MessageBoxes> m_ownBoxes;
    MessageBoxes* m_boxes;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<SoundPlayer> m_sound;
    std::unique_ptr<NoticePresenter> m_notices;
    std::unique_ptr<WorkerFactory> m_workers;
    std::unique_ptr<LoginDialog> m_login;
    std::unique_ptr<PasswordChangeDialog> m_passwordDialog;
    std::unique_ptr<DbusScreenSaver> m_screenSaver;
    std::unique_ptr<KeychainVault> m_keyring;
    std::unique_ptr<FileChooser> m_files;
    std::unique_ptr<SettingsDialogs> m_settingsDialogs;
    std::unique_ptr<CMainFrame> m_frame;
    CKestrelView* m_view = nullptr;  // owned by the frame
};

}  // namespace kestrel
