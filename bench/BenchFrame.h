#pragma once

// What the benchmarks stand in for the program's frame: it counts the reports the checks post.
#include <QEvent>
#include <QObject>

#include <map>

#include "platform/MessageEvent.h"

namespace kestrel::bench {

class ReportCounter final : public QObject {
public:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e)) ++m_counts[m->message()];
    }
    long count(unsigned message) const {
        const auto found = m_counts.find(message);
        return found == m_counts.end() ? 0 : found->second;
    }

private:
    std::map<unsigned, long> m_counts;
};

}  // namespace kestrel::bench
