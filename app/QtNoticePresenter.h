#pragma once

#include <functional>
#include <memory>
#include <string>

#include "readers/ReaderLauncherSettings.h"
#include "ui/NoticePresenter.h"

class QWidget;

namespace kestrel {

class MessageBoxes;
class ReaderLauncher;
class SeenMailStore;

// The three notification popups as Qt dialogs. Each popup gets a reader launcher of its own,
// which keeps its news conversation while the popup is open; its mail reader button marks the
// mail on the server as read, in the record the mail check counts against. The reader
// settings are asked for at the moment a button wants a reader, so a change in the
// environment settings applies to the next click.
class QtNoticePresenter final : public NoticePresenter {
public:
    QtNoticePresenter(MessageBoxes& boxes, std::function<ReaderLauncherSettings()> settings,
                      QWidget* parent, std::shared_ptr<SeenMailStore> seen);

    void ShowNewsAndMail(const std::string& groups, const std::string& mailText) override;
    void ShowNews(const std::string& groups) override;
    void ShowMail(const std::string& mailText) override;

private:
    std::unique_ptr<ReaderLauncher> MakeLauncher();

    MessageBoxes& m_boxes;
    std::function<ReaderLauncherSettings()> m_settings;
    QWidget* m_parent;
    std::shared_ptr<SeenMailStore> m_seen;
};

}  // namespace kestrel
