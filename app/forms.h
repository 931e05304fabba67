#pragma once

#include "store/backupstore.h"

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm4;

// The program's four windows, made once in this order and kept until the end: the main window,
// then the backup, restore and history dialogs.
struct Forms {
    Forms();
    ~Forms();

    store::BackupStore Store; // the one store, handed to every window
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
};
