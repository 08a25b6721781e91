#include "ui/NewsNoticeDlg.h"

#include <QByteArray>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "platform/QtText.h"
#include "readers/ReaderLauncher.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "res/TextsReaders.h"

namespace kestrel {

namespace {

constexpr size_t kGroupTextLimit = 255;
constexpr int kGroupBytesRole = Qt::UserRole;

}  // namespace

NewsNoticeDlg::NewsNoticeDlg(ReaderLauncher& launcher, int widthDlu, int heightDlu,
                             const char* captionUtf8, QWidget* parent)
    : NoticeDlg(launcher, widthDlu, heightDlu, captionUtf8, parent) {}

std::vector<std::string> NewsNoticeDlg::SplitGroups(const std::string& groups, size_t maxGroups) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < groups.size() && names.size() < maxGroups) {
        size_t blank = groups.find(' ', start);
        if (blank == std::string::npos) blank = groups.size();  // a last name without its blank
        if (blank > start) names.push_back(groups.substr(start, blank - start));
        start = blank + 1;
    }
    return names;
}

std::string NewsNoticeDlg::LimitGroupText(const std::string& group) {
    return group.substr(0, Cp932PrefixLength(group, kGroupTextLimit));
}

void NewsNoticeDlg::BuildNewsControls(const QRect& headerDlu, const QRect& listDlu,
                                      const QRect& readDlu) {
    m_header = AddCentredText("header", headerDlu);
    m_header->setText(QString::fromUtf8(txt::kNewArticles));
    m_groups = new QListWidget(this);
    m_groups->setObjectName(QStringLiteral("groups"));
    m_groups->setSelectionMode(QAbstractItemView::SingleSelection);
    m_groups->setGeometry(listDlu);
    connect(m_groups, &QListWidget::itemDoubleClicked, this, [this] { OnReadArticles(); });
    QPushButton* read = AddButton("readArticles", txt::kReadArticles, readDlu);
    connect(read, &QPushButton::clicked, this, [this] { OnReadArticles(); });
}

void NewsNoticeDlg::InitNotice() {
    if (!m_newGroups.empty()) {
        m_header->setText(QString::fromUtf8(txt::kNewArticles));
        m_noNews = false;
        m_groups->clear();
        for (const std::string& group : SplitGroups(m_newGroups, MAX_GROUPS)) AddGroupSorted(group);
    } else {
        m_header->setText(QString::fromUtf8(txt::kNoNewArticles));
        m_noNews = true;
    }
}

void NewsNoticeDlg::AddGroupSorted(const std::string& group) {
    // A sorted list box: alphabetical without regard to case, equal names in arrival order.
    const QString text = fromSjis(group);
    int row = 0;
    while (row < m_groups->count()) {
        const QString other = m_groups->item(row)->text();
        int order = QString::compare(text, other, Qt::CaseInsensitive);
        if (order == 0) order = QString::compare(text, other, Qt::CaseSensitive);
        if (order < 0) break;
        ++row;
    }
    auto* item = new QListWidgetItem(text);
    // The reader gets the name's own bytes, not a round trip through Unicode.
    item->setData(kGroupBytesRole, QByteArray(group.data(), static_cast<qsizetype>(group.size())));
    m_groups->insertItem(row, item);
}

void NewsNoticeDlg::OnReadArticles() {
    const QList<QListWidgetItem*> selected = m_groups->selectedItems();
    if (selected.isEmpty()) return;
    const QByteArray bytes = selected.constFirst()->data(kGroupBytesRole).toByteArray();
    m_launcher.LaunchNewsReader(LimitGroupText(bytes.toStdString()));
}

void NewsNoticeDlg::reject() {
    m_launcher.CloseNewsConversation();
    QDialog::reject();
}

}  // namespace kestrel
