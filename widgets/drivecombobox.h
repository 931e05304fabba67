#pragma once

#include <QColor>
#include <QComboBox>

#include <string>
#include <vector>

class TDirectoryListBox;

// The drive selector: one entry per drive, such as "C:\[本機硬碟](SYSTEM)". Picking a drive
// moves the linked directory list to that drive's root.
class TDriveComboBox : public QComboBox {
    Q_OBJECT

public:
    TDriveComboBox(QWidget* parent, const char* name, QRect geometry);

    void Clear();
    void AddEntry(const std::string& text);
    // Replaces an entry's text; the selection stays where it is.
    void SetEntryText(int index, const std::string& text);
    const std::string& entryText(int index) const {
        return entries_.at(static_cast<size_t>(index));
    }
    int entryCount() const { return static_cast<int>(entries_.size()); }

    // Selects the first entry that starts with this letter (any case) and a colon.
    void SetDrive(char letter);
    char Drive() const;

    void setDirList(TDirectoryListBox* list) { dirList_ = list; }
    // The colour of the entries' text, in the box and in its open list.
    void setTextColor(QColor color);

private:
    void userPicked(int index);

    std::vector<std::string> entries_;
    QColor textColor_;
    TDirectoryListBox* dirList_ = nullptr;
};
