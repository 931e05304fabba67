#include "backupmessages.h"

#include "platform/folders.h"
#include "platform/hosterror.h"
#include "text/codepage.h"

namespace backup {
namespace {

const text::Text kCannotReadSource{u8"無法讀取備份來源資料夾："};
const text::Text kSourceMissing{u8"備份來源資料夾不存在："};
const text::Text kCannotMakeBackupFolder{u8"無法建立備份資料夾："};
const text::Text kNotRecorded{u8"檔案已備份，但無法建立還原點："};
const text::Text kLinkedBefore{u8"未變更（連結至上次備份）"};
const text::Text kLinkedAfter{u8" 個檔案"};

} // namespace

std::string cannotReadSourceMessage(const std::string& sourceDir) {
    // "Cannot read" sends the user after permissions; a folder that is simply gone says so.
    if (platform::nothingAt(sourceDir))
        return kSourceMissing.str() + sourceDir;
    return kCannotReadSource.str() + sourceDir;
}

std::string cannotMakeBackupFolderMessage(const std::string& path, const std::string& reason) {
    return kCannotMakeBackupFolder.str() + platform::withReason(path, reason);
}

std::string notRecordedMessage(const StoreFailure& failure) {
    return kNotRecorded.str() + platform::withReason(failure.path, failure.reason);
}

std::string linkedText(int64_t linked) {
    return kLinkedBefore.str() + std::to_string(linked) + kLinkedAfter.str();
}

} // namespace backup
