#include "tform4.h"

#include "store/backupstore.h"
#include "text/big5.h"
#include "text/codepage.h"
#include "toolkit/messagebox.h"
#include "toolkit/qtext.h"
#include "widgets/bitbtn.h"
#include "widgets/directorylistbox.h"
#include "widgets/listview.h"
#include "widgets/panel.h"

namespace {

const text::Text kCaption{u8"備份目地資料夾(歷史紀錄)"};
const text::Text kFolderColumn{u8"備份目地資料夾"};
const text::Text kPathColumn{u8"完整路徑"};
const text::Text kHeading{u8"請點選您要備份的〔目地資料夾〕"};
const text::Text kConfirm{u8"確認"};
const text::Text kNoCatalog{u8"您目前未建立任何備份檔...所以無記錄可查"};
const text::Text kNothingChosen{u8"您沒有選擇目地資料夾!!"};
const text::Text kFolderGone{u8"此資料夾已不存在了!!"};

} // namespace

TForm4::TForm4(QWidget* owner, TDirectoryListBox* destinationList, const QIcon& rowIcon,
               store::BackupStore store)
    : QDialog(owner), store_(std::move(store)), destinationList_(destinationList) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(toolkit::qstr(kCaption));
    setFixedSize(360, 368);
    ListView1 = new TListView(this, "ListView1", {8, 32, 337, 289},
                              {{kFolderColumn.str(), 150}, {kPathColumn.str(), 300}});
    ListView1->setRowIcon(rowIcon);
    QFont listFont = ListView1->font();
    listFont.setPixelSize(12);
    ListView1->setFont(listFont);
    Panel1 = new TPanel(this, "Panel1", {8, 8, 337, 25}, kHeading.str());
    BitBtn1 = new TBitBtn(this, "BitBtn1", {112, 328, 129, 25}, kConfirm.str(),
                          QIcon(QStringLiteral(":/skin/confirm.png")));
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { toolkit::guarded([this] { BitBtn1Click(); }); });
}

void TForm4::FillHistory() {
    std::optional<std::vector<std::string>> catalog = store_.ReadCatalog();
    if (!catalog) {
        toolkit::showMessage(kNoCatalog.str());
        return;
    }
    ListView1->Clear();
    for (auto line = catalog->rbegin(); line != catalog->rend(); ++line) {
        std::string fullPath = store::BackupStore::ParseRecord(*line).destDir;
        ListView1->AddRow(std::string(text::big5::lastPathElement(fullPath)), {fullPath});
    }
}

void TForm4::BitBtn1Click() {
    int row = ListView1->SelectedRow();
    if (row < 0) {
        toolkit::showMessage(kNothingChosen.str());
        return;
    }
    try {
        destinationList_->SetDirectory(ListView1->SubItem(row, 0));
    } catch (const std::exception&) {
        toolkit::showMessage(kFolderGone.str());
        return;
    }
    reject(); // the dialog ends with the cancel result however it is closed
}
