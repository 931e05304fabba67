#pragma once

#include "backupjob.h"
#include "tcopythread.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <string>

class QProgressBar;
class QTimer;
class TBitBtn;
class TDirectoryListBox;
class TPanel;

// What the main window hands to the backup dialog when it is prepared.
struct MainWindowChoice {
    std::string settingsFilePath; // the settings file that "下一步" wrote
    int recordCount = 0;          // the record count read on "下一步"
};

// The backup dialog "備份內容": counts the source when shown, copies it on "開始備份" on its
// worker thread, records the restore point, then runs the restore-point animation.
class TForm2 : public QDialog, private backup::BackupView {
    Q_OBJECT

public:
    explicit TForm2(QWidget* owner);
    ~TForm2() override;

    TPanel* Panel1;
    TPanel* Panel2;
    TPanel* Panel3;
    TPanel* Panel4;
    TPanel* Panel5;
    TPanel* Panel6;
    TDirectoryListBox* DirectoryListBox1;
    TPanel* Panel7;
    QProgressBar* ProgressBar1;
    TPanel* Panel8;
    QProgressBar* ProgressBar2;
    TBitBtn* BitBtn1;
    QTimer* Timer1;

    std::string SourceName;
    std::unique_ptr<TCopyThread> WorkerThread;

    // Reads the folders back from the settings file and fills the panels, today's date and the
    // backup name.
    void PrepareBackup(const MainWindowChoice& choice);
    void FormShow();
    void BitBtn1Click();
    void FormClose();
    void Timer1Timer();
    // Asks the worker to stop (the program is ending).
    void requestStop();

    // Worker thread: one pass of the kind asked for, then the worker suspends itself.
    void WalkTree();

    const backup::BackupJob& Job() const { return job_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void requestPass(walk::PassRequests::Pass pass);
    void showProgress(const backup::BackupProgress& progress) override;
    void completionStarted() override;
    void completionDone(const backup::CopyReport& report, bool current) override;
    void copyImpossible(const std::string& sourceDir) override;
    void backupFolderImpossible(const std::string& path, const std::string& reason) override;
    // Ends the restore-point animation: the closing message, and the job's reset.
    void finishAnimation();
    std::string captionFor(const backup::CopyReport& report) const;
    // The closing message, in code page 950 or (onHost) as the host's text with the host's own
    // names beside the paths that cannot show them.
    std::string completionMessage(const backup::CopyReport& report, bool onHost) const;
    void showCompletion(const backup::CopyReport& report) const;

    backup::BackupJob job_;
    bool copyAsked_ = false; // a copy pass runs or waits in this showing
    int AnimTicks = 0;
    backup::CopyReport report_;
    uint64_t animationGeneration_ = 0;
};
