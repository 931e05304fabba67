#include "directorylistbox.h"

#include "panel.h"

#include "platform/folders.h"
#include "platform/hostpath.h"
#include "platform/stagingname.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/programpath.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

const text::Text kCannotEnter{u8"無法進入資料夾："};

constexpr int kItemHeight = 16;
constexpr int kIndent = 8;
constexpr int kLevelRole = Qt::UserRole + 1;

// Entries stand one step further right per level of the path; sub-folders one step past the
// current folder.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem shifted = option;
        shifted.rect.setLeft(option.rect.left() + index.data(kLevelRole).toInt() * kIndent);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + index.data(kLevelRole).toInt() * kIndent, kItemHeight};
    }
};

} // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent, const char* name, QRect geometry)
    : QListWidget(parent) {
    placeComponent(this, name, geometry);
    setItemDelegate(new IndentDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TDirectoryListBox::setTextColor(QColor color) {
    QPalette colors = palette();
    colors.setColor(QPalette::Text, color);
    setPalette(colors);
}

void TDirectoryListBox::SetDirectory(const std::string& folder) {
    if (folder.empty())
        return;
    std::string path = text::normalizedFolder(folder);
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\' || !platform::folderCanBeEntered(path))
        throw ProgramError(kCannotEnter.str() + folder);
    if (path == directory_)
        return;
    fill(path);
    emit Change();
}

void TDirectoryListBox::fill(const std::string& folder) {
    directory_ = folder;
    entries_.clear();
    entries_.push_back(folder.substr(0, 3));
    for (std::string& element : text::pathElements(folder))
        entries_.push_back(std::move(element));
    currentLevel_ = static_cast<int>(entries_.size()) - 1;

    platform::FolderSearch search;
    platform::FindData entry;
    for (bool more = search.findFirst(folder, entry); more; more = search.findNext(entry))
        if (entry.isDirectory() && entry.name != "." && entry.name != ".." &&
            !platform::isRemovingName(entry.name)) // a backup folder on its way out
            entries_.push_back(entry.name);

    clear();
    QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QIcon drive = style()->standardIcon(QStyle::SP_DriveHDIcon);
    for (int i = 0; i < EntryCount(); ++i) {
        auto* item = new QListWidgetItem(i == 0               ? drive
                                         : i <= currentLevel_ ? open
                                                              : closed,
                                         toolkit::toQString(EntryText(i)), this);
        item->setData(kLevelRole, std::min(i, currentLevel_ + 1));
    }
    setCurrentRow(currentLevel_);
    scrollToItem(currentItem());
}

void TDirectoryListBox::OpenEntry(int index) {
    if (index < 0 || index >= EntryCount())
        return;
    std::string path = entries_[0];
    int last = std::min(index, currentLevel_);
    for (int i = 1; i <= last; ++i)
        path += (i > 1 ? "\\" : "") + EntryText(i);
    if (index > currentLevel_)
        path += (currentLevel_ > 0 ? "\\" : "") + EntryText(index);
    SetDirectory(path);
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    int row = currentRow();
    toolkit::guarded([&] { OpenEntry(row); });
}

void TDirectoryListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    emit Click();
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        int row = currentRow();
        toolkit::guarded([&] { OpenEntry(row); });
        return;
    }
    QListWidget::keyPressEvent(event);
}
