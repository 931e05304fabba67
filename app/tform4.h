#pragma once

#include "store/backupstore.h"

#include <QDialog>

class TBitBtn;
class TDirectoryListBox;
class TListView;
class TPanel;

// The destination history "備份目地資料夾(歷史紀錄)": the destinations of earlier backups, newest
// first; confirming one points the main window's destination list at it.
class TForm4 : public QDialog {
    Q_OBJECT

public:
    TForm4(QWidget* owner, TDirectoryListBox* destinationList, const QIcon& rowIcon,
           store::BackupStore store = store::BackupStore());

    TListView* ListView1;
    TPanel* Panel1;
    TBitBtn* BitBtn1;

    void FillHistory();
    void BitBtn1Click();

private:
    store::BackupStore store_;
    TDirectoryListBox* destinationList_;
};
