#pragma once

#include <QDialog>

#include <string>

class QProgressBar;
class QTimer;
class TBitBtn;
class TDirectoryListBox;
class TPanel;

// What the main window hands to the backup dialog when it is prepared.
struct MainWindowChoice {
    std::string settingsFilePath; // the settings file that "下一步" wrote
    std::string sourceName;       // the source folder's own name
    int recordCount = 0;          // the record count read on "下一步"
};

// The backup dialog "備份內容": shows what is about to be backed up and runs the backup.
class TForm2 : public QDialog {
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
    bool CountPass = true;

    // Reads the folders back from the settings file and fills the panels, today's date and the
    // backup name.
    void PrepareBackup(const MainWindowChoice& choice);
    // Asks the worker to stop (the program is ending).
    void RequestStop();

    const std::string& SourceDir() const { return sourceDir_; }
    const std::string& DestDir() const { return destDir_; }
    const std::string& BackupName() const { return backupName_; }

private:
    MainWindowChoice choice_;
    std::string sourceDir_;
    std::string destDir_;
    std::string backupName_;
};
