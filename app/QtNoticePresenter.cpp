#include "app/QtNoticePresenter.h"

#include "app/MarkingReaderLauncher.h"
#include "mail/SeenMailStore.h"
#include "readers/ReaderLauncherFactory.h"
#include "ui/CMailNoticeDlg.h"
#include "ui/CNewsMailNoticeDlg.h"
#include "ui/CNewsNoticeDlg.h"

namespace kestrel {

QtNoticePresenter::QtNoticePresenter(MessageBoxes& boxes,
                                     std::function<ReaderLauncherSettings()> settings,
                                     QWidget* parent, std::shared_ptr<SeenMailStore> seen)
    : m_boxes(boxes), m_settings(std::move(settings)), m_parent(parent), m_seen(std::move(seen)) {}

void QtNoticePresenter::ShowNewsAndMail(const std::string& groups, const std::string& mailText) {
    auto launcher = MakeLauncher();
    CNewsMailNoticeDlg dlg(*launcher, m_parent);
    dlg.SetNewGroups(groups);
    dlg.SetMailText(mailText);
    dlg.exec();
}

void QtNoticePresenter::ShowNews(const std::string& groups) {
    auto launcher = MakeLauncher();
    CNewsNoticeDlg dlg(*launcher, m_parent);
    dlg.SetNewGroups(groups);
    dlg.exec();
}

void QtNoticePresenter::ShowMail(const std::string& mailText) {
    auto launcher = MakeLauncher();
    CMailNoticeDlg dlg(*launcher, m_parent);
    dlg.SetMailText(mailText);
    dlg.exec();
}

std::unique_ptr<ReaderLauncher> QtNoticePresenter::MakeLauncher() {
    return std::make_unique<MarkingReaderLauncher>(MakeDesktopReaderLauncher(m_settings, m_boxes),
                                                   m_seen);
}

}  // namespace kestrel
