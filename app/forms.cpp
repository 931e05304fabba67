#include "forms.h"

#include "tform1.h"
#include "tform4.h"

#include "backup/tform2.h"
#include "restore/tform3.h"
#include "widgets/image.h"

#include <QIcon>

static void loadSkin() {
    Q_INIT_RESOURCE(skin);
}

Forms::Forms() {
    loadSkin();
    Form1 = std::make_unique<TForm1>(Store);
    Form2 = std::make_unique<TForm2>(Form1.get());
    Form3 = std::make_unique<TForm3>(Form1.get(), Store);
    Form4 = std::make_unique<TForm4>(Form1.get(), Form1->DirectoryListBox3,
                                     Form1->ImageList1->image(), Store);
    Form1->setDialogs(Form2.get(), Form3.get(), Form4.get());
}

Forms::~Forms() {
    // The dialogs are children of the main window: they go first.
    Form4.reset();
    Form3.reset();
    Form2.reset();
}
