#pragma once

#include <QComboBox>
#include <QSignalBlocker>

#include <string>
#include <vector>

// Puts items into a combo box unless it already holds exactly those, so a
// redraw does not disturb a list the user is looking at. No signals fire.
inline void SetComboItems(QComboBox* combo, const std::vector<std::string>& items)
{
    const QSignalBlocker quiet(combo);
    bool same = combo->count() == int(items.size());
    for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == QString::fromStdString(items[size_t(i)]);
    if (same)
        return;
    combo->clear();
    for (const std::string& item : items)
        combo->addItem(QString::fromStdString(item));
}
