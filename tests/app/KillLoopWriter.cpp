// Saves one of the program's files over and over until it is killed: the watch-list
// rewrite, the settings store, the mail already read, or the chat history. Started and killed by
// KillLoopTests; prints "ready" once the first save is done, so the kills land among saves.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "chat/CChatHistory.h"
#include "mail/SeenMailStore.h"
#include "news/WatchList.h"
#include "news/WatchListFile.h"
#include "platform/ProgramDir.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "tests/app/KillLoopFiles.h"

using namespace kestrel;

namespace {

bool RewriteWatchList(int variant) {
    WatchListFile list;
    if (!list.Open(ProgramFile("newschck.lst"))) return false;
    const std::string head = killloop::WatchListHead(variant);
    return list.Rewrite(head, head.size());
}

bool SaveSettings(int variant) {
    SettingsStore store;
    store.Write(key::Places, killloop::SettingValue(variant));
    store.Write(key::BroadIPs, killloop::SettingValue(variant));
    store.Flush();
    return true;
}

bool SaveSeenMail(int variant) {
    SeenMailStore store(ProgramFile(SeenMailStore::kFileName));
    return store.Observe({"pop.example", 110, "user"}, killloop::SeenMailListing(variant)).saved;
}

bool SaveHistory() {
    CChatHistory history;
    for (const std::string& line : killloop::HistoryLines()) history.Add(line);
    return history.AppendTo(ProgramDir(), killloop::HistoryTime());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string kind = argv[1];
    for (int i = 0;; ++i) {
        const int variant = i % 2;
        bool saved = false;
        if (kind == "watch") {
            saved = RewriteWatchList(variant);
        } else if (kind == "settings") {
            saved = SaveSettings(variant);
        } else if (kind == "history") {
            saved = SaveHistory();
        } else if (kind == "seenmail") {
            saved = SaveSeenMail(variant);
        } else {
            return 2;
        }
        if (!saved) return 1;
        if (i == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
