#pragma once

#include "app/PresenceWatch.h"

namespace kestrel {

class CStatusForm;

// The presence watch's view of the status form: the two radios and the places combo.
class FormPresenceControls final : public PresenceControls {
public:
    explicit FormPresenceControls(CStatusForm& form) : m_form(form) {}

    int Choice() const override;
    void SetChoice(int choice) override;
    std::string SelectedPlace() const override;
    void SetPlacesEnabled(bool enabled) override;
    void ClearPlaceSelection() override;
    int FindPlace(const std::string& text) const override;
    void SelectPlaceAt(int index) override;

private:
    CStatusForm& m_form;
};

}  // namespace kestrel
