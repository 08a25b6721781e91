#include "readers/DdeReaderLauncher.h"

#include "platform/MessageBoxes.h"
#include "platform/Timing.h"
#include "readers/DdeClient.h"
#include "readers/ReaderLauncherDesktop.h"
#include "readers/ReaderLauncherPlan.h"
#include "res/Text.h"
#include "res/TextsReaders.h"

namespace kestrel {

DdeReaderLauncher::DdeReaderLauncher(SettingsSource settings, DdeClient& client,
                                     ReaderLauncherDesktop& desktop, MessageBoxes& boxes,
                                     const Timing& timing)
    : m_settings(std::move(settings)),
      m_client(client),
      m_desktop(desktop),
      m_boxes(boxes),
      m_timing(timing) {}

DdeReaderLauncher::~DdeReaderLauncher() {
    CloseNewsConversation();
}

void DdeReaderLauncher::LaunchMailReader() {
    const ReaderLauncherSettings s = m_settings();
    RunStep(MailLaunchStep(s.MailReader, s.MailFile), txt::kNoMailHandler);
}

void DdeReaderLauncher::LaunchNewsReader(const std::string& group) {
    const ReaderLauncherSettings s = m_settings();
    RunStep(NewsLaunchStep(s.NewsReader, s.NewsFile, group), txt::kNoNewsHandler);
}

void DdeReaderLauncher::RunStep(const ReaderLaunchStep& step, const char* noHandlerText) {
    using Kind = ReaderLaunchStep::Kind;
    switch (step.kind) {
        case Kind::Nothing:
            break;
        case Kind::StartProgram:
            m_desktop.StartProgram(step.program);
            break;
        case Kind::StartUnlessWindow:
            if (!m_desktop.TopLevelWindowExists(step.windowClass))
                m_desktop.StartProgram(step.program);
            break;
        case Kind::Execute:
            DdeExecuteMail(step.service, step.topic, step.payload, step.program);
            break;
        case Kind::Request:
            DdeRequestNews(step.service, step.topic, step.payload, step.program);
            break;
        case Kind::SchemeHandler:
            // Nothing to wait for: the desktop knows at once whether it has such a handler.
            if (!m_desktop.StartSchemeHandler(step.schemes, step.payload))
                m_boxes.Show(sjis(noHandlerText), sjis(txt::kReviewSettingsCaption),
                             BoxIcon::Warning);
            break;
    }
}

std::unique_ptr<DdeConversation> DdeReaderLauncher::StartAndConnect(const std::string& service,
                                                                    const std::string& topic,
                                                                    const std::string& program) {
    m_desktop.StartProgram(program);
    const Timing& timing = m_timing;
    for (int attempt = 1; attempt <= timing.readerRetries; ++attempt) {
        if (auto conversation = m_client.Connect(service, topic)) return conversation;
        if (attempt < timing.readerRetries) m_desktop.Pause(timing.readerRetryMs);
    }
    return nullptr;
}

void DdeReaderLauncher::DdeExecuteMail(const std::string& service, const std::string& topic,
                                       const std::string& command, const std::string& program) {
    auto conversation = m_client.Connect(service, topic);
    if (!conversation) conversation = StartAndConnect(service, topic, program);
    if (!conversation) {
        m_boxes.Show(sjis(txt::kMailerCheck), sjis(txt::kReviewSettingsCaption),
                     BoxIcon::Information);
        return;
    }
    // The reader's answer changes nothing here; the conversation ends with this launch.
    conversation->Execute(command);
}

void DdeReaderLauncher::DdeRequestNews(const std::string& service, const std::string& topic,
                                       const std::string& item, const std::string& program) {
    // A kept conversation whose reader has gone since is worth nothing: start over.
    if (m_newsOpen && !(m_news && m_news->IsOpen())) CloseNewsConversation();
    if (!m_newsOpen) {
        auto conversation = m_client.Connect(service, topic);
        if (!conversation) conversation = StartAndConnect(service, topic, program);
        if (!conversation) return;  // the news reader's silence is not reported
        KeepNewsConversation(std::move(conversation));
    }
    m_news->Request(item);
}

void DdeReaderLauncher::KeepNewsConversation(std::unique_ptr<DdeConversation> conversation) {
    m_news = std::move(conversation);
    m_newsOpen = true;
    // The reader ended it: forget it, but leave the object to the next launch or the close,
    // since this runs inside the conversation's own notice.
    m_news->SetOnDisconnected([this] { m_newsOpen = false; });
}

void DdeReaderLauncher::CloseNewsConversation() {
    if (m_news) m_news->Disconnect();
    m_news.reset();
    m_newsOpen = false;
}

}  // namespace kestrel
