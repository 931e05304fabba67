#include "failednight.h"

#include "text/codepage.h"

namespace backup {
namespace {

const text::Text kNothingTitle{u8"Tarnwick 2004：備份失敗"};
const text::Text kSomeTitle{u8"Tarnwick 2004：有些檔案沒有備份"};
const text::Text kNothingBackedUp{u8" 不開視窗的備份失敗，沒有備份任何檔案："};
const text::Text kSomeNotBackedUp{u8" 不開視窗的備份未完成，有些檔案或資料夾沒有備份："};

} // namespace

std::string failedNightTitle(const store::LastBackup& record) {
    return (record.status == 1 ? kSomeTitle : kNothingTitle).str();
}

std::string failedNightMessage(const store::LastBackup& record) {
    std::string message =
        record.when + (record.status == 1 ? kSomeNotBackedUp : kNothingBackedUp).str() + "\n";
    if (!record.sourceDir.empty() || !record.destDir.empty())
        message += record.sourceDir + "  ==>  " + record.destDir + "\n";
    return message + record.reason;
}

} // namespace backup
