#include "readers/ReaderLauncherFactory.h"

#include "readers/DdeBusClient.h"
#include "readers/QtReaderLauncherDesktop.h"

namespace kestrel {

namespace {

// Owns the parts the launcher only refers to; they outlive it by member order.
class OwningReaderLauncher final : public ReaderLauncher {
public:
    OwningReaderLauncher(DdeReaderLauncher::SettingsSource settings, MessageBoxes& boxes)
        : m_launcher(std::move(settings), m_client, m_desktop, boxes) {}

    void LaunchMailReader() override { m_launcher.LaunchMailReader(); }
    void LaunchNewsReader(const std::string& group) override { m_launcher.LaunchNewsReader(group); }
    void CloseNewsConversation() override { m_launcher.CloseNewsConversation(); }

private:
    DdeBusClient m_client;
    QtReaderLauncherDesktop m_desktop;
    DdeReaderLauncher m_launcher;
};

}  // namespace

std::unique_ptr<ReaderLauncher> MakeDesktopReaderLauncher(
    DdeReaderLauncher::SettingsSource settings, MessageBoxes& boxes) {
    return std::make_unique<OwningReaderLauncher>(std::move(settings), boxes);
}

}  // namespace kestrel
