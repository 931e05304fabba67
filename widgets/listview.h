#pragma once

#include <QTreeWidget>

#include <string>
#include <vector>

// A list view in report style: rows with a caption and sub-items, whole-row selection, the
// selection kept visible without focus. Texts are program text.
class TListView : public QTreeWidget {
    Q_OBJECT

public:
    struct Column {
        std::string title;
        int width;
    };

    TListView(QWidget* parent, const char* name, QRect geometry,
              const std::vector<Column>& columns);

    void AddRow(const std::string& caption, const std::vector<std::string>& subItems);
    void Clear();
    int RowCount() const { return topLevelItemCount(); }
    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int row);
    const std::string& Caption(int row) const;
    const std::string& SubItem(int row, int index) const;

    void setRowIcon(const QIcon& icon) { rowIcon_ = icon; }
    void setColors(QColor background, QColor text);

signals:
    void Click();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::vector<std::vector<std::string>> rows_; // caption, then sub-items
    QIcon rowIcon_;
};
