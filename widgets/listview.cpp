#include "listview.h"

#include "panel.h"

#include "text/codepage.h"
#include "toolkit/qtext.h"

#include <QHeaderView>

TListView::TListView(QWidget* parent, const char* name, QRect geometry,
                     const std::vector<Column>& columns)
    : QTreeWidget(parent) {
    placeComponent(this, name, geometry);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    QStringList titles;
    for (const Column& column : columns)
        titles << toolkit::toQString(column.title);
    setHeaderLabels(titles);
    header()->setStretchLastSection(false);
    for (size_t i = 0; i < columns.size(); ++i)
        setColumnWidth(static_cast<int>(i), columns[i].width);
    // Keep the selection as visible when the list loses focus.
    QPalette colors = palette();
    colors.setColor(QPalette::Inactive, QPalette::Highlight,
                    colors.color(QPalette::Active, QPalette::Highlight));
    colors.setColor(QPalette::Inactive, QPalette::HighlightedText,
                    colors.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colors);
}

void TListView::setColors(QColor background, QColor text) {
    QPalette colors = palette();
    colors.setColor(QPalette::Base, background);
    colors.setColor(QPalette::Text, text);
    setPalette(colors);
}

void TListView::AddRow(const std::string& caption, const std::vector<std::string>& subItems) {
    std::vector<std::string> row{caption};
    row.insert(row.end(), subItems.begin(), subItems.end());
    auto* item = new QTreeWidgetItem(this);
    for (size_t i = 0; i < row.size(); ++i)
        item->setText(static_cast<int>(i), toolkit::toQString(row[i]));
    if (!rowIcon_.isNull())
        item->setIcon(0, rowIcon_);
    rows_.push_back(std::move(row));
}

void TListView::Clear() {
    rows_.clear();
    clear();
}

int TListView::SelectedRow() const {
    QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

void TListView::SelectRow(int row) {
    clearSelection();
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setSelected(true);
        setCurrentItem(item);
    }
}

const std::string& TListView::Caption(int row) const {
    return SubItem(row, -1);
}

const std::string& TListView::SubItem(int row, int index) const {
    static const std::string none;
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return none;
    const std::vector<std::string>& texts = rows_[static_cast<size_t>(row)];
    size_t column = static_cast<size_t>(index + 1);
    return column < texts.size() ? texts[column] : none;
}

void TListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    emit Click();
}
