#pragma once

#include <QMainWindow>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/EventLog.h"
#include "ui/NoticeState.h"

class QAction;
class QMenu;

namespace kestrel {

class FrameClient;
class NoticePresenter;
class SoundPlayer;
struct ProgramValues;
class TrayController;
enum class TrayState;

// The tray state that shows an icon id.
TrayState TrayStateForIcon(int iconId);

// The program's top-level window: frames the status form, owns the menus and the tray (its
// controller routes the tray's clicks), hides to the tray instead of closing, keeps its
// position, and turns the checks' reports into icons, sounds and popups. It is also the event
// log's sink for every worker.
class CMainFrame final : public QMainWindow, public LogSink {
    Q_OBJECT
public:
    CMainFrame(ProgramValues& values, NoticePresenter& notices, SoundPlayer& sound);
    ~CMainFrame() override;

    void SetClient(FrameClient* client);
    void SetForm(QWidget* form);

    // LogSink: from any thread.
    void PostLog(std::string_view text) override;

    // Reports of the checks; run on the user-interface thread (the workers post
    // WM_UNREAD_MAIL / WM_NEW_NEWS, which land here).
    void OnNewNews(std::string_view list);
    void OnUnreadMail(unsigned count);
    void ShowNotice();
    void ShowIcon(int iconId);
    void RestorePosition();
    void Exit();

    const NoticeState& Notices() const { return m_notices; }
    int CurrentIcon() const { return m_icon; }
    bool MainWindowVisible() const { return m_visible; }
    bool TrayAvailable() const;
    TrayController& Tray() const { return *m_tray; }
    QAction* Action(unsigned id) const;
    // Menu item states of the bar, as the framework would set them before a menu opens.
    void UpdateMenuStates();

protected:
    void customEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, const char* text, unsigned id);
    void OnSysCommand(unsigned command);
    void HideToTray();
    void ShowMainWindow();
    void RecordPosition();
    void ShowAbout();

    ProgramValues& m_values;
    NoticePresenter& m_presenter;
    SoundPlayer& m_sound;
    FrameClient* m_client = nullptr;
    NoticeState m_notices;
    PostingLogSink m_logSink;
    std::unique_ptr<TrayController> m_tray;
    std::map<unsigned, QAction*> m_actions;
    int m_icon = 0;
    bool m_visible = true;
    bool m_exiting = false;
};

}  // namespace kestrel
