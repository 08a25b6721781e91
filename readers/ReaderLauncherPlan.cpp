#include "readers/ReaderLauncherPlan.h"

#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsReaders.h"

namespace kestrel {

using Kind = ReaderLaunchStep::Kind;

ReaderLaunchStep MailLaunchStep(int mailReader, const std::string& mailFile) {
    ReaderLaunchStep step;
    if (mailReader == kMailReaderDesktop) {
        // Started bare, not with a "mailto:" URL, which would open a message to write instead
        // of the mailbox. The program field plays no part.
        step.kind = Kind::SchemeHandler;
        step.schemes = {sjis(txt::kMailtoScheme)};
        return step;
    }
    if (mailFile.empty()) return step;
    step.program = mailFile;
    switch (mailReader) {
        case 1:
            step.kind = Kind::Execute;
            step.service = sjis(txt::kAlMailService);
            step.topic = sjis(txt::kAlMailTopic);
            step.payload = sjis(txt::kAlMailCommand);
            break;
        case 2:
            step.kind = Kind::Execute;
            step.service = sjis(txt::kDen8Service);
            step.topic = sjis(txt::kDen8Topic);
            step.payload = sjis(txt::kDen8Command);
            break;
        default:
            step.kind = Kind::StartProgram;
            break;
    }
    return step;
}

ReaderLaunchStep NewsLaunchStep(int newsReader, const std::string& newsFile,
                                const std::string& group) {
    ReaderLaunchStep step;
    if (newsReader == kNewsReaderDesktop) {
        step.kind = Kind::SchemeHandler;
        step.schemes = {sjis(txt::kNewsScheme), sjis(txt::kNntpScheme)};
        step.payload = sjis(txt::kNewsUrlHead) + group;
        return step;
    }
    if (newsFile.empty()) return step;
    step.program = newsFile;
    switch (newsReader) {
        case 0:
            step.kind = Kind::Request;
            step.service = sjis(txt::kNetscapeService);
            step.topic = sjis(txt::kNetscapeTopic);
            step.payload = sjis(txt::kNewsUrlHead) + group + sjis(txt::kNewsUrlTail);
            break;
        case 1:
            // A running WinVN is left alone; it is not told the group.
            step.kind = Kind::StartUnlessWindow;
            step.windowClass = sjis(txt::kWinVnWindowClass);
            break;
        default:
            step.kind = Kind::StartProgram;
            break;
    }
    return step;
}

}  // namespace kestrel
