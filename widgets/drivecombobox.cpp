#include "drivecombobox.h"

#include "directorylistbox.h"
#include "panel.h"

#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"

#include <QStyle>

#include <cctype>

namespace {

bool sameLetter(char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) ==
           std::toupper(static_cast<unsigned char>(b));
}

} // namespace

TDriveComboBox::TDriveComboBox(QWidget* parent, const char* name, QRect geometry)
    : QComboBox(parent) {
    placeComponent(this, name, geometry);
    setAttribute(Qt::WA_NoMousePropagation);
    connect(this, &QComboBox::activated, this, &TDriveComboBox::userPicked);
}

void TDriveComboBox::Clear() {
    entries_.clear();
    clear();
}

void TDriveComboBox::AddEntry(const std::string& text) {
    entries_.push_back(text);
    addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), toolkit::toQString(text));
    if (textColor_.isValid())
        setItemData(count() - 1, textColor_, Qt::ForegroundRole);
}

void TDriveComboBox::SetEntryText(int index, const std::string& text) {
    if (index < 0 || index >= entryCount())
        return;
    entries_[static_cast<size_t>(index)] = text;
    setItemText(index, toolkit::toQString(text));
}

void TDriveComboBox::setTextColor(QColor color) {
    textColor_ = color;
    QPalette colours = palette();
    colours.setColor(QPalette::Text, color);
    colours.setColor(QPalette::ButtonText, color);
    setPalette(colours);
    // The open list is a window of its own that draws each entry in the entry's own colour.
    for (int i = 0; i < count(); ++i)
        setItemData(i, color, Qt::ForegroundRole);
}

void TDriveComboBox::SetDrive(char letter) {
    for (int i = 0; i < entryCount(); ++i) {
        const std::string& text = entryText(i);
        if (text.size() >= 2 && sameLetter(text[0], letter) && text[1] == ':') {
            setCurrentIndex(i);
            return;
        }
    }
}

char TDriveComboBox::Drive() const {
    int index = currentIndex();
    return index >= 0 && !entryText(index).empty() ? entryText(index)[0] : '\0';
}

void TDriveComboBox::userPicked(int index) {
    if (!dirList_ || index < 0 || sameLetter(entryText(index)[0], dirList_->Drive()))
        return; // the list is on that drive already
    toolkit::guarded([&] {
        std::string root = std::string(1, entryText(index)[0]) + ":\\";
        try {
            dirList_->SetDirectory(root);
        } catch (...) {
            SetDrive(dirList_->Drive()); // the list stayed where it was
            throw;
        }
    });
}
