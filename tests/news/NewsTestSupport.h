#pragma once

#include <QObject>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MessageEvent.h"
#include "platform/ProgramDir.h"
#include "platform/Timing.h"
#include "res/Ids.h"
#include "tests/support/WorkerTestSupport.h"

namespace kestrel::test {

// Stands in for the main frame: keeps the WM_NEW_NEWS lists it is posted.
class NewsFrame final : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e); m && m->message() == WM_NEW_NEWS) {
            auto list = m->takeFirst<std::string>();
            reports.push_back(list ? *list : std::string("<no payload>"));
        }
    }
    std::vector<std::string> reports;
};

// The news check's first check at once.
inline Timing NewsTiming() {
    Timing t = WorkerTiming();
    t.newsFirstCheckMs = 1;
    return t;
}

inline std::string WatchListPath() {
    return ProgramFile("newschck.lst");
}

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kestrel::test
