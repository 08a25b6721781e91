#include "chat_ui/ChatLists.h"

#include <algorithm>

#include "res/Cp932.h"

namespace kestrel::chatlist {

namespace {

constexpr int kLineRole = Qt::UserRole + 1;
constexpr int kShownRole = Qt::UserRole + 2;

QString Shown(const std::string& line, const QString& shown) {
    return shown.isNull() ? QString::fromStdString(cp932ToUtf8(line)) : shown;
}

}  // namespace

std::string LineOf(const QListWidgetItem* item) {
    return item ? item->data(kLineRole).toByteArray().toStdString() : std::string();
}

QString ShownOf(const QListWidgetItem* item) {
    return item ? item->data(kShownRole).toString() : QString();
}

std::string LineAt(const QComboBox& box, int index) {
    if (index < 0 || index >= box.count()) return {};
    return box.itemData(index, kLineRole).toByteArray().toStdString();
}

void Add(QListWidget& list, const std::string& line, const QString& shown) {
    const QString whole = Shown(line, shown);
    auto* item = new QListWidgetItem(QString(whole).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    item->setData(kLineRole, QByteArray::fromStdString(line));
    item->setData(kShownRole, whole);
    list.addItem(item);
}

void AddSorted(QComboBox& box, const std::string& line, const QString& text) {
    const QString shown = Shown(line, text);
    int at = 0;
    while (at < box.count() && QString::compare(box.itemText(at), shown, Qt::CaseInsensitive) <= 0)
        ++at;
    // A drop-down list selects its first item by itself; here nothing is chosen until the
    // user or the program chooses.
    const bool none = box.currentIndex() < 0;
    box.insertItem(at, shown);
    box.setItemData(at, QByteArray::fromStdString(line), kLineRole);
    if (none) box.setCurrentIndex(-1);
}

int FindContaining(const QListWidget& list, std::string_view text) {
    for (int i = 0; i < list.count(); ++i)
        if (Cp932Find(LineOf(list.item(i)), text) != std::string::npos) return i;
    return -1;
}

int FindContaining(const QComboBox& box, std::string_view text) {
    for (int i = 0; i < box.count(); ++i)
        if (Cp932Find(LineAt(box, i), text) != std::string::npos) return i;
    return -1;
}

std::string SelectedLine(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? std::string() : LineOf(selected.front());
}

void Remove(QListWidget& list, int row) {
    QListWidgetItem* item = list.item(row);
    if (!item) return;
    const bool chosen = item->isSelected() || list.currentItem() == item;
    delete list.takeItem(row);
    if (chosen) {
        list.clearSelection();
        list.setCurrentItem(nullptr);
    }
}

void Remove(QComboBox& box, int index) {
    if (index < 0 || index >= box.count()) return;
    const bool chosen = box.currentIndex() == index;
    box.removeItem(index);
    if (chosen) box.setCurrentIndex(-1);
}

std::string OneLine(std::string line) {
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

}  // namespace kestrel::chatlist
