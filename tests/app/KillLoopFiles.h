#pragma once

#include <ctime>
#include <string>
#include <vector>

// The contents the kill loop's writer saves and its test expects, one of two variants at
// a time, so a file caught half-way shows as neither.
namespace kestrel::killloop {

// Sixty groups, all remembered at variant + 1; the rewrite replaces exactly these lines.
inline std::string WatchListHead(int variant) {
    std::string head;
    for (int i = 1; i <= 60; ++i) {
        head += "fj.group" + std::to_string(i) + ":" + std::to_string(variant + 1) + "\n";
    }
    return head;
}

// A tail the rewrite copies unchanged, long enough that copying it takes a while.
inline std::string WatchListTail() {
    std::string tail;
    for (int i = 0; i < 4000; ++i)
        tail += "fj.beyond.the.sixtieth.line" + std::to_string(i) + ":7\n";
    return tail;
}

inline std::string SettingValue(int variant) {
    return std::string(20000, variant == 0 ? 'a' : 'b') + "~:_";
}

// A mailbox listing large enough that its rewrite takes a while; the variant changes every
// name, so each save rewrites the file.
inline std::vector<std::string> SeenMailListing(int variant) {
    std::vector<std::string> listing;
    for (int i = 0; i < 20000; ++i)
        listing.push_back(std::to_string(i + 1) + " uid-" + std::to_string(variant) + "-" +
                          std::to_string(i));
    return listing;
}

inline std::vector<std::string> HistoryLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i)
        lines.push_back("line " + std::to_string(i) + std::string(200, 'x'));
    return lines;
}

inline std::tm HistoryTime() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 9;
    t.tm_min = 30;
    return t;
}

}  // namespace kestrel::killloop
