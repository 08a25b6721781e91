#include "tests/integration/support/HarnessMail.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kestrel::test {

bool deliverMail(const std::string& maildir, const std::string& subject) {
    static std::atomic<int> sequence{0};
    const std::string name = std::to_string(::time(nullptr)) + ".P" + std::to_string(::getpid()) +
                             "Q" + std::to_string(++sequence) + ".kestrel-it";
    const std::string temp = maildir + "/tmp/" + name;
    {
        std::ofstream out(temp, std::ios::binary);
        out << "From: sender@example.invalid\r\nTo: counted@example.invalid\r\nSubject: " << subject
            << "\r\nMessage-ID: <" << name << "@example.invalid>\r\n\r\nBody.\r\n";
        if (!out.flush()) return false;
    }
    if (const passwd* nobody = ::getpwnam("nobody")) {
        if (::chown(temp.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) return false;
    }
    std::error_code error;
    std::filesystem::permissions(temp, std::filesystem::perms(0644), error);
    return !error && std::rename(temp.c_str(), (maildir + "/new/" + name).c_str()) == 0;
}

bool emptyMaildir(const std::string& maildir) {
    std::error_code error;
    for (const char* sub : {"/new", "/cur"}) {
        for (const auto& entry : std::filesystem::directory_iterator(maildir + sub, error)) {
            std::filesystem::remove(entry.path(), error);
            if (error) return false;
        }
        if (error) return false;
    }
    return true;
}

bool dovecotLogsNoLogIn(const std::string& log) {
    return log.find("no auth attempts") != std::string::npos ||
           log.find("disconnected before auth was ready") != std::string::npos;
}

}  // namespace kestrel::test
