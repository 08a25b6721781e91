#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/Timing.h"
#include "platform/WindowTimers.h"
#include "ui/AwayReminder.h"

namespace kestrel {

struct LocalIdentity;
class ScreenSaver;

// The form's presence radios and places combo, as the presence watch reads and writes them.
class PresenceControls {
public:
    virtual ~PresenceControls() = default;
    virtual int Choice() const = 0;  // 0 present, 1 away
    virtual void SetChoice(int choice) = 0;
    virtual std::string SelectedPlace() const = 0;  // empty when none is selected
    virtual void SetPlacesEnabled(bool enabled) = 0;
    virtual void ClearPlaceSelection() = 0;
    // The first place beginning with text, letter case ignored; -1 when none.
    virtual int FindPlace(const std::string& text) const = 0;
    virtual void SelectPlaceAt(int index) = 0;
};

// A place as it goes into the whereabouts: peers read it from "nick[place]", so a bracket of
// the place's own would end it early or open a second one; the brackets become their
// full-width forms. Colons stay: the place sits in the packet's last field, which runs to
// the end whatever it holds. The caller still cuts the result to the field.
std::string AnnouncedPlace(std::string_view place);

// The user's own presence: present or away with a place, switched by the form, the tray's
// places and a running screen saver, with a reminder while away so nobody stays marked away
// after coming back. Announcing is the caller's (the peer chat's) business: announce() runs
// after every change of the identity.
class PresenceWatch {
public:
    struct Parts {
        LocalIdentity& identity;
        PresenceControls& controls;
        ScreenSaver& saver;
        AwayReminder& reminder;
        std::function<void()> announce;
        std::function<bool()> checkSaver;  // the CheckSaver setting, read at every poll
    };
    explicit PresenceWatch(Parts parts, const Timing& timing = ProgramTiming());

    // The radio choice made effective (radios clicked, the away timer, the place choice).
    void ApplyPresence();
    // The combo's selection changed.
    void WhereaboutsChanged();
    // A place chosen from the tray menu.
    void ChoosePlace(const std::string& place);
    // The poll of the screen saver: armed at every service start while the peer chat exists,
    // never stopped.
    void StartSaverPoll();

    // Timers 3, 6 and 7 of the view land here.
    void OnTimer(int id);

    bool SaverActive() const { return m_saverActive; }
    const WindowTimers& Timers() const { return m_timers; }

private:
    void PollSaver();
    void GoAwayBySaver();
    void Remind();

    Parts m_parts;
    Timing m_timing;
    WindowTimers m_timers;
    bool m_saverActive = false;
};

}  // namespace kestrel
