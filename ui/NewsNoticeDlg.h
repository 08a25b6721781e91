#pragma once

#include <string>
#include <vector>

#include "ui/NoticeDlg.h"

class QListWidget;

namespace kestrel {

// The news half of the news popups: the header, the sorted group list and "記事を読む".
class NewsNoticeDlg : public NoticeDlg {
public:
    // Names of the groups with new articles, each followed by one blank (CP932).
    void SetNewGroups(const std::string& groups) { m_newGroups = groups; }
    bool NoNews() const { return m_noNews; }

    // The group names of a new-groups text, in the order given, at most maxGroups of them.
    static std::vector<std::string> SplitGroups(const std::string& groups, size_t maxGroups);
    // The group's text as the list hands it out: at most 255 bytes, never half a character.
    static std::string LimitGroupText(const std::string& group);

    void reject() override;

protected:
    NewsNoticeDlg(ReaderLauncher& launcher, int widthDlu, int heightDlu, const char* captionUtf8,
                  QWidget* parent);

    void BuildNewsControls(const QRect& headerDlu, const QRect& listDlu, const QRect& readDlu);
    void InitNotice() override;
    void OnReadArticles();

private:
    void AddGroupSorted(const std::string& group);

    std::string m_newGroups;
    bool m_noNews = true;
    QLabel* m_header = nullptr;
    QListWidget* m_groups = nullptr;
};

}  // namespace kestrel
