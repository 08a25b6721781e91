#pragma once

#include <string>
#include <vector>

namespace kestrel {

// What one click does with the configured reader, decided from the settings alone.
struct ReaderLaunchStep {
    enum class Kind {
        Nothing,            // empty program setting: the launch is off
        StartProgram,       // run program as a command line
        Execute,            // execute payload on service/topic, starting program when absent
        Request,            // request payload from service/topic, starting program when absent
        StartUnlessWindow,  // start program unless a top-level window of class windowClass exists
        SchemeHandler       // start the desktop's handler of the first registered scheme, given
                            // payload as its URL when not empty
    };
    Kind kind = Kind::Nothing;
    std::string service;
    std::string topic;
    std::string payload;  // the execute command, the request item or the handler's URL
    std::string windowClass;
    std::string program;
    std::vector<std::string> schemes;  // the handler's URL schemes, the preferred first

    bool operator==(const ReaderLaunchStep&) const = default;
};

// Mail reader kinds: 1 AL-Mail, 2 電信八号, kMailReaderDesktop the desktop's mailto handler,
// anything else a plain program.
ReaderLaunchStep MailLaunchStep(int mailReader, const std::string& mailFile);
// News reader kinds: 0 Netscape, 1 WinVN, kNewsReaderDesktop the desktop's news handler,
// anything else a plain program.
ReaderLaunchStep NewsLaunchStep(int newsReader, const std::string& newsFile,
                                const std::string& group);

}  // namespace kestrel
