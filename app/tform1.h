#pragma once

#include "store/backupstore.h"

#include <QWidget>

#include <memory>
#include <string>

class TBitBtn;
class TDirectoryListBox;
class TDriveComboBox;
class TForm2;
class TForm3;
class TForm4;
class TImage;
class TImageList;
class TLabel;
class TPanel;

// The main window "Tarnwick 2004": a borderless skinned window with the source and destination
// pickers, "下一步" that starts a backup, and the "檔案還原" link to the restore dialog.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    // store: the program's own files, for everything the window reads and writes there.
    explicit TForm1(store::BackupStore store = store::BackupStore());
    ~TForm1() override;

    // The dialogs the window opens; they are made after it.
    void setDialogs(TForm2* backup, TForm3* restore, TForm4* history);

    TImage* Image1;
    TImage* Image2;
    TLabel* Label2;
    TImage* Image3;
    TImage* Image4;
    TLabel* Label3;
    TImage* Image5;
    TLabel* Label4;
    TImage* Image6;
    TImage* Image7;
    TPanel* Panel1;
    TPanel* Panel2;
    TBitBtn* BitBtn1;
    TBitBtn* BitBtn3;
    TDriveComboBox* DriveComboBox1;
    TDriveComboBox* DriveComboBox3;
    TDirectoryListBox* DirectoryListBox1;
    TDirectoryListBox* DirectoryListBox3;
    TPanel* Panel3;
    TPanel* Panel4;
    TBitBtn* BitBtn2;
    TImageList* ImageList1;

    std::string SourceName;
    std::string SourceDir;
    std::string DestDir;
    std::string SettingsFilePath;
    int RecordCount = 0;

    std::string DestName;
    bool Dragging = false;
    int DragStartX = 0;
    int DragStartY = 0;

    void FillDriveLists();
    void LoadSettings();
    void SaveSettings();

    void DirectoryListBox1Change();
    void DirectoryListBox3Change();
    void BitBtn2Click();
    void BitBtn3Click();
    void Image3Click();
    void Image7Click();
    void Label2MouseEnter();
    void Label4MouseEnter();
    void Label4MouseLeave();
    void Label4Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct LabelReads;

    store::BackupStore store_;
    // Shared with the threads that read the drives' labels, which may outlive the window.
    std::shared_ptr<LabelReads> labelReads_;
    // A drive's label is in: its entry, at `index` in both drive lists, becomes `entry`.
    void labelRead(int index, const std::string& entry);
    void buildComponents();
    void FormCreate();
    // Shows once how the last backup without a window failed, if it did.
    void tellFailedBackup();
    void dragDown(QMouseEvent* event);
    void dragMove(QWidget* control, QMouseEvent* event);
    void dragUp();
    void listenForDrags(TImage* image);

    TForm2* form2_ = nullptr;
    TForm3* form3_ = nullptr;
    TForm4* form4_ = nullptr;
    bool placed_ = false;
};
