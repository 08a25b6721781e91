#include "app/FormPresenceControls.h"

#include <QComboBox>
#include <QRadioButton>

#include "app/CStatusForm.h"
#include "platform/QtText.h"

namespace kestrel {

int FormPresenceControls::Choice() const {
    return m_form.AwayButton()->isChecked() ? 1 : 0;
}

void FormPresenceControls::SetChoice(int choice) {
    // Checking a radio by hand raises no click, so nothing runs twice.
    (choice ? m_form.AwayButton() : m_form.PresentButton())->setChecked(true);
}

std::string FormPresenceControls::SelectedPlace() const {
    const QComboBox* places = m_form.PlacesCombo();
    return places->currentIndex() < 0 ? std::string() : toSjis(places->currentText());
}

void FormPresenceControls::SetPlacesEnabled(bool enabled) {
    m_form.SetPlacesEnabled(enabled);
}

void FormPresenceControls::ClearPlaceSelection() {
    m_form.ClearPlaceSelection();
}

int FormPresenceControls::FindPlace(const std::string& text) const {
    // Without Qt::MatchCaseSensitive the match ignores letter case.
    return m_form.PlacesCombo()->findText(fromSjis(text), Qt::MatchStartsWith);
}

void FormPresenceControls::SelectPlaceAt(int index) {
    // Set by the program, not chosen by the user: no activation signal, so the whereabouts
    // change runs once, from the caller.
    m_form.PlacesCombo()->setCurrentIndex(index);
}

}  // namespace kestrel
