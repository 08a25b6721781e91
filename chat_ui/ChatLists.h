#pragma once

// The list boxes and drop-downs of the chat windows hold CP932 lines: each item keeps its
// line's bytes beside the shown text, so a line is read back whole whatever its length. The
// shown text is Unicode: a name or message with characters CP932 lacks shows as written.

#include <QComboBox>
#include <QListWidget>

#include <string>
#include <string_view>

namespace kestrel::chatlist {

std::string LineOf(const QListWidgetItem* item);
// The Unicode text of a line whole, line breaks and all.
QString ShownOf(const QListWidgetItem* item);
std::string LineAt(const QComboBox& box, int index);
// Add a line, shown on one line (OneLine) and kept whole; a sorted list places it by its
// shown text.
void Add(QListWidget& list, const std::string& line, const QString& shown = QString());
void AddSorted(QComboBox& box, const std::string& line, const QString& shown = QString());
// Index of the first line containing the text anywhere; -1 when none.
int FindContaining(const QListWidget& list, std::string_view text);
int FindContaining(const QComboBox& box, std::string_view text);
// Every line feed as a space, for one-line lists.
std::string OneLine(std::string line);

// The line the user has highlighted; empty when none is. The current item of a list that is
// not also selected is no choice: Qt makes a neighbour current when a line is removed.
std::string SelectedLine(const QListWidget& list);
// Remove a line; when it was the chosen one, nothing is chosen afterwards.
void Remove(QListWidget& list, int row);
void Remove(QComboBox& box, int index);

}  // namespace kestrel::chatlist
