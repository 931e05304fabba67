#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QPlainTextEdit;
class QProgressBar;
class TBitBtn;
class TDirectoryListBox;
class TListView;
class TPanel;

// The restore dialog "檔案還原": the recorded backups, the folders each holds, and the restore
// of a chosen folder.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(QWidget* owner);
    ~TForm3() override;

    TListView* ListView1;
    TListView* ListView2;
    TDirectoryListBox* DirectoryListBox1;
    TPanel* Panel1;
    TPanel* Panel2;
    QProgressBar* ProgressBar1;
    TBitBtn* BitBtn1;
    TPanel* Panel3;
    TPanel* Panel4;
    QPlainTextEdit* Memo1;
    TPanel* Panel5;
    TPanel* Panel6;
    TPanel* Panel7;

    // One row per catalog line, the last line first.
    void FillBackupList(const std::vector<std::string>& catalogLines);
    // Asks the worker to stop (the program is ending).
    void RequestStop();

protected:
    void done(int result) override;

private:
    void FormClose();
};
