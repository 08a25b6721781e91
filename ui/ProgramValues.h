#pragma once

#include <atomic>
#include <string>

namespace kestrel {

// The program-wide values the application object holds and the frame, the view and the
// workers read. Owned by CKestrelApp; everyone else holds a reference.
struct ProgramValues {
    int sound = 1;          // Sound/Sound
    std::string soundFile;  // Sound/SoundFile (CP932)
    int iconise = 1;        // UserInterface/BeIcon
    int popup = 1;          // UserInterface/BePopup
    int trace = 0;          // Environment/debug, read once at start-up
    // A notification popup is on screen; the checks skip their turns meanwhile. The ticks
    // read it on the user-interface thread, but keep it atomic for the workers' sake.
    std::atomic<int> noticeOpen{0};
    int left = 0, top = 0, right = 0, bottom = 0;
    int firstMove = 1;
    int newsgroupLimit = 60;
};

}  // namespace kestrel
