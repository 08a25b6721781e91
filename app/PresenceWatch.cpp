#include "app/PresenceWatch.h"

#include "identity/LocalIdentity.h"
#include "platform/ScreenSaver.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "res/Text.h"
#include "res/TextsUi.h"

namespace kestrel {

std::string AnnouncedPlace(std::string_view place) {
    std::string out;
    out.reserve(place.size());
    for (std::size_t i = 0; i < place.size(); ++i) {
        const auto c = static_cast<unsigned char>(place[i]);
        // A trail byte may be 0x5B or 0x5D: a two-byte character passes whole.
        if (IsCp932LeadByte(c) && i + 1 < place.size()) {
            out += place.substr(i, 2);
            ++i;
        } else if (c == '[') {
            out += "\x81\x6D";
        } else if (c == ']') {
            out += "\x81\x6E";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

PresenceWatch::PresenceWatch(Parts parts, const Timing& timing)
    : m_parts(std::move(parts)), m_timing(timing), m_timers([this](int id) { OnTimer(id); }) {}

void PresenceWatch::ApplyPresence() {
    LocalIdentity& me = m_parts.identity;
    PresenceControls& controls = m_parts.controls;
    if (controls.Choice() == 0) {
        m_timers.KillTimer(TIMER_AWAY_REMINDER);
        if (me.present) return;
        controls.SetPlacesEnabled(false);
        me.present = 1;
        CopyField(me.whereabouts, "");
        controls.ClearPlaceSelection();
        m_parts.announce();
        m_parts.saver.Close();
        return;
    }
    if (!me.present) return;
    controls.SetPlacesEnabled(true);
    me.present = 0;
    const std::string place = controls.SelectedPlace();
    // A place longer than the field is cut on a character boundary, as every announced text.
    CopyField(me.whereabouts,
              place.empty() ? sjis(txt::kTrayWhereaboutsUnknown) : AnnouncedPlace(place));
    m_parts.announce();
    m_timers.SetTimer(TIMER_AWAY_REMINDER, m_timing.awayReminderMs);
}

void PresenceWatch::WhereaboutsChanged() {
    if (m_parts.controls.Choice() != 1) return;
    m_parts.identity.present = 0;
    CopyField(m_parts.identity.whereabouts, AnnouncedPlace(m_parts.controls.SelectedPlace()));
    m_parts.announce();
}

void PresenceWatch::ChoosePlace(const std::string& place) {
    const int index = m_parts.controls.FindPlace(place);
    if (index < 0) return;
    m_parts.controls.SetChoice(1);
    ApplyPresence();
    m_parts.controls.SelectPlaceAt(index);
    WhereaboutsChanged();
}

void PresenceWatch::StartSaverPoll() {
    m_timers.SetTimer(TIMER_SAVER_POLL, m_timing.saverPollMs);
}

void PresenceWatch::OnTimer(int id) {
    switch (id) {
        case TIMER_SAVER_POLL:
            PollSaver();
            break;
        case TIMER_SAVER_AWAY:
            GoAwayBySaver();
            break;
        case TIMER_AWAY_REMINDER:
            Remind();
            break;
        default:
            break;
    }
}

void PresenceWatch::PollSaver() {
    if (!m_parts.checkSaver()) return;
    if (!m_parts.saver.IsActive()) {
        m_saverActive = false;
        m_timers.KillTimer(TIMER_SAVER_AWAY);
        return;
    }
    if (m_saverActive) return;
    m_saverActive = true;
    m_timers.SetTimer(TIMER_SAVER_AWAY, m_timing.saverAwayMs);
}

void PresenceWatch::GoAwayBySaver() {
    m_timers.KillTimer(TIMER_SAVER_AWAY);
    m_parts.controls.SetChoice(1);
    ApplyPresence();
}

void PresenceWatch::Remind() {
    // While the saver runs nobody is at the desk to read it; the timer stays armed.
    if (m_saverActive) return;
    m_timers.KillTimer(TIMER_AWAY_REMINDER);
    if (m_parts.reminder.Show()) {
        m_parts.controls.SetChoice(0);
        ApplyPresence();
        return;
    }
    if (m_parts.controls.Choice() == 1)
        m_timers.SetTimer(TIMER_AWAY_REMINDER, m_timing.awayReminderMs);
}

}  // namespace kestrel
