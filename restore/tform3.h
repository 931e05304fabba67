#pragma once

#include "restorejob.h"
#include "trecoverthread.h"

#include "store/backupstore.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class TMemo;
class QProgressBar;
class TBitBtn;
class TDirectoryListBox;
class TListView;
class TPanel;

// The restore dialog "檔案還原": the recorded backups, newest first; the folders a chosen
// backup holds; and the restore of a chosen folder (or a sub-folder of it) into the folder it
// was backed up from.
class TForm3 : public QDialog, private restore::RestoreView {
    Q_OBJECT

public:
    explicit TForm3(QWidget* owner, store::BackupStore store = store::BackupStore());
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
    TMemo* Memo1;
    TPanel* Panel5;
    TPanel* Panel6;
    TPanel* Panel7;

    std::unique_ptr<TRecoverThread> WorkerThread;

    // One row per catalog line, the last line first.
    void fillBackupList(const std::vector<std::string>& catalogLines);

    void ListView1Click();
    void ShowBackupContents();
    void ListView2Click();
    void DirectoryListBox1Change();
    void DirectoryListBox1Click();
    void BitBtn1Click();
    void FormShow();
    void FormClose();
    // Asks the worker to stop (the program is ending).
    void requestStop();

    // Worker thread: one pass of the kind asked for, then the worker suspends itself.
    void WalkTree();

    const restore::RestoreJob& Job() const { return job_; }
    const std::string& RestoreSource() const { return restoreSource_; }
    const std::string& RestoreTarget() const { return restoreTarget_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    store::BackupStore store_;
    void showProgress(const restore::RestoreProgress& progress) override;
    void restoreCompleted(const restore::RestoreReport& report) override;
    void restoreImpossible(const std::string& restoreSource) override;
    void restoreTargetImpossible(const std::string& path, const std::string& reason) override;
    // Points the directory list at a folder without treating it as the user's choice.
    void setFolderQuietly(const std::string& folder);
    // Makes the directory list's folder the one to restore, and counts it.
    void chooseCurrentFolder(int folderRow);
    void requestPass(walk::PassRequests::Pass pass);

    restore::RestoreJob job_;
    bool settingFolder_ = false;
    bool copyAsked_ = false; // a copy runs or waits for this choice

    std::string SelectedName;
    std::string SelectedPoint;
    std::string SelectedDest;
    std::string CopyRoot;
    int BaseIndex = 0;
    int SavedIndex = 0;
    std::string restoreSource_;
    std::string restoreTarget_;
    std::string TargetParent;
};
