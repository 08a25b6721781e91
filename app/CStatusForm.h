#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kestrel {

// The form's fields, exchanged with its controls (CP932 texts).
struct StatusFields {
    std::string newsReaderName;
    std::string newsServer;
    std::string newsCheckText;
    std::string mailCheckText;
    std::string mailReaderName;
    std::string mailServer;
    int presence = 0;  // 0 present, 1 away
    std::string whereabouts;
};

// Reader names and ON/OFF texts as the form shows them for the settings values.
std::string NewsReaderName(int kind);
std::string MailReaderName(int kind);
std::string OnOffText(int flag);

// The fixed client form of the main window: servers, readers, check switches, the service
// icon and the presence controls. It only shows; the controller decides.
class CStatusForm final : public QWidget {
    Q_OBJECT
public:
    explicit CStatusForm(QWidget* parent = nullptr);

    // Fields to controls / controls to fields.
    void ToControls(const StatusFields& fields);
    StatusFields FromControls() const;

    void SetStatusIcon(int iconId);
    int StatusIcon() const { return m_iconId; }
    void SetPlaces(const std::vector<std::string>& places);  // sorted by the control
    void SetPresenceEnabled(bool enabled);
    void SetMemberListEnabled(bool enabled);
    void SetPlacesEnabled(bool enabled);
    bool SelectPlace(const std::string& place);  // false when the list lacks it
    void ClearPlaceSelection();
    std::vector<std::string> PlaceItems() const;

    QRadioButton* PresentButton() const { return m_present; }
    QRadioButton* AwayButton() const { return m_away; }
    QPushButton* MemberListButton() const { return m_memberList; }
    QComboBox* PlacesCombo() const { return m_places; }
    QLineEdit* Field(int id) const;

signals:
    void presenceClicked(int choice);
    void placeChosen(const QString& place);
    void memberListClicked();
    void backgroundDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QLineEdit* m_newsReader;
    QLineEdit* m_newsServer;
    QLineEdit* m_newsCheck;
    QLineEdit* m_mailReader;
    QLineEdit* m_mailServer;
    QLineEdit* m_mailCheck;
    QLabel* m_icon;
    QRadioButton* m_present;
    QRadioButton* m_away;
    QButtonGroup* m_presence;
    QComboBox* m_places;
    QPushButton* m_memberList;
    int m_iconId = 0;
};

}  // namespace kestrel
