#pragma once

#include <QListWidget>

#include <string>
#include <vector>

// The directory list: the path from the drive's root down to the current folder, one entry per
// level, then the current folder's sub-folders. The root's entry reads "D:\", every other entry
// is a folder name; the current folder's entry is the selected one. A double-click or Enter
// opens the selected entry.
class TDirectoryListBox : public QListWidget {
    Q_OBJECT

public:
    TDirectoryListBox(QWidget* parent, const char* name, QRect geometry);

    // The current folder: "D:\" at a root, else a full path without a trailing backslash.
    const std::string& Directory() const { return directory_; }
    // Makes the folder current. An empty text does nothing, the current folder raises no
    // change; a folder that cannot be entered throws ProgramError and changes nothing.
    void SetDirectory(const std::string& folder);
    char Drive() const { return directory_.empty() ? '\0' : directory_[0]; }

    int ItemIndex() const { return currentRow(); }
    void SetItemIndex(int index) { setCurrentRow(index); }
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const std::string& EntryText(int index) const {
        return entries_.at(static_cast<size_t>(index));
    }
    // Index of the current folder's own entry.
    int CurrentLevel() const { return currentLevel_; }

    void setTextColor(QColor color);

    // Opens an entry as a double-click does.
    void OpenEntry(int index);

signals:
    void Change(); // the current folder changed
    void Click();  // an entry was clicked

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const std::string& folder);

    std::string directory_;
    std::vector<std::string> entries_;
    int currentLevel_ = -1;
};
