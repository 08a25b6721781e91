#include "app/MarkingReaderLauncher.h"

#include "mail/SeenMailStore.h"

namespace kestrel {

MarkingReaderLauncher::MarkingReaderLauncher(std::unique_ptr<ReaderLauncher> launcher,
                                             std::shared_ptr<SeenMailStore> seen)
    : m_launcher(std::move(launcher)), m_seen(std::move(seen)) {}

void MarkingReaderLauncher::LaunchMailReader() {
    // Marked first: the launch may wait seconds for the reader, and the mark must not miss
    // a program that ends meanwhile.
    if (m_seen) m_seen->MarkRead();
    m_launcher->LaunchMailReader();
}

void MarkingReaderLauncher::LaunchNewsReader(const std::string& group) {
    m_launcher->LaunchNewsReader(group);
}

void MarkingReaderLauncher::CloseNewsConversation() {
    m_launcher->CloseNewsConversation();
}

}  // namespace kestrel
