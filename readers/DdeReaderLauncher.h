#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Timing.h"
#include "readers/ReaderLauncher.h"
#include "readers/ReaderLauncherSettings.h"

namespace kestrel {

class DdeClient;
class DdeConversation;
class MessageBoxes;
class ReaderLauncherDesktop;
struct ReaderLaunchStep;

// Starts the configured readers: readers that hold a conversation get the command or the
// request, the desktop's own applications are started through their URL scheme, others are
// started as programs. The settings are fetched anew at every launch.
// Retries follow the timing table (readerRetries attempts, readerRetryMs apart).
class DdeReaderLauncher final : public ReaderLauncher {
public:
    using SettingsSource = std::function<ReaderLauncherSettings()>;

    DdeReaderLauncher(SettingsSource settings, DdeClient& client, ReaderLauncherDesktop& desktop,
                      MessageBoxes& boxes, const Timing& timing = ProgramTiming());
    ~DdeReaderLauncher() override;

    void LaunchMailReader() override;
    void LaunchNewsReader(const std::string& group) override;
    void CloseNewsConversation() override;

    // The news conversation is open and kept for the next request.
    bool HasNewsConversation() const { return m_newsOpen; }

    void DdeExecuteMail(const std::string& service, const std::string& topic,
                        const std::string& command, const std::string& program);
    void DdeRequestNews(const std::string& service, const std::string& topic,
                        const std::string& item, const std::string& program);

private:
    // Start program, then try to connect until a reader answers or the attempts run out.
    std::unique_ptr<DdeConversation> StartAndConnect(const std::string& service,
                                                     const std::string& topic,
                                                     const std::string& program);
    void KeepNewsConversation(std::unique_ptr<DdeConversation> conversation);
    // noHandlerText (UTF-8) is the box for a desktop without the step's scheme handler.
    void RunStep(const ReaderLaunchStep& step, const char* noHandlerText);

    SettingsSource m_settings;
    DdeClient& m_client;
    ReaderLauncherDesktop& m_desktop;
    MessageBoxes& m_boxes;
    const Timing m_timing;
    std::unique_ptr<DdeConversation> m_news;
    bool m_newsOpen = false;
};

}  // namespace kestrel
