#include "hosterror.h"

#include "text/codepage.h"

#include <cerrno>

namespace platform {
namespace {

const text::Text kNoSuchFile{u8"找不到檔案或資料夾"};
const text::Text kAccessDenied{u8"存取被拒"};
const text::Text kDiskFull{u8"磁碟空間不足"};
const text::Text kReadOnly{u8"唯讀的磁碟"};
const text::Text kNotRegular{u8"不是一般檔案"};
const text::Text kUnusableName{u8"名稱含有此系統無法表示的字元"};
const text::Text kDeviceName{u8"名稱是系統保留的裝置名稱"};
const text::Text kTrailingDotOrSpace{u8"名稱結尾不可以是句點或空格"};
const text::Text kNameTooLong{u8"路徑或名稱太長"};
const text::Text kInUse{u8"檔案正在使用中"};
const text::Text kDiskError{u8"磁碟讀寫錯誤"};
const text::Text kTooManyOpen{u8"同時開啟的檔案太多"};
const text::Text kFileTooLarge{u8"檔案太大"};
const text::Text kFolderFull{u8"資料夾中的項目太多"};
const text::Text kIsFolder{u8"是資料夾，不是檔案"};
const text::Text kNotFolder{u8"不是資料夾"};
const text::Text kExists{u8"已有同名的項目"};
const text::Text kTooManyLinks{u8"連結層數太多"};
const text::Text kNoMemory{u8"記憶體不足"};
const text::Text kDeviceGone{u8"磁碟或裝置已無法使用"};
const text::Text kNotSupported{u8"此磁碟不支援這項操作"};
const text::Text kOtherError{u8"系統錯誤，代碼 "};

const text::Text kOpenParen{u8"（"};
const text::Text kCloseParen{u8"）"};

} // namespace

std::string reasonForError(int error) {
    switch (error) {
    case ENOENT:
        return kNoSuchFile.str();
    case EACCES:
    case EPERM:
        return kAccessDenied.str();
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return kDiskFull.str();
    case EROFS:
        return kReadOnly.str();
    case ENXIO: // a socket, or a device without its driver
    case ENODEV:
        return kNotRegular.str();
    case EILSEQ:
        return kUnusableName.str();
    case ENAMETOOLONG:
        return kNameTooLong.str();
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return kInUse.str();
    case EIO:
        return kDiskError.str();
    case EMFILE:
    case ENFILE:
        return kTooManyOpen.str();
    case EFBIG:
    case EOVERFLOW:
        return kFileTooLarge.str();
    case EMLINK:
        return kFolderFull.str();
    case EISDIR:
        return kIsFolder.str();
    case ENOTDIR:
        return kNotFolder.str();
    case EEXIST:
        return kExists.str();
    case ELOOP:
        return kTooManyLinks.str();
    case ENOMEM:
        return kNoMemory.str();
#ifdef ESTALE
    case ESTALE:
#endif
    case ENOTCONN:
#ifdef EHOSTDOWN
    case EHOSTDOWN:
#endif
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
        return kDeviceGone.str();
    case EOPNOTSUPP:
    case EINVAL:
        return kNotSupported.str();
    default:
        // A negative error is the host's own number that has no errno value (Windows).
#ifdef _WIN32
        if (error < 0)
            if (std::string reason = reasonForWindowsError(static_cast<unsigned long>(-error));
                !reason.empty())
                return reason;
#endif
        return kOtherError.str() + std::to_string(error < 0 ? -static_cast<long>(error) : error);
    }
}

std::string unusableNameReason() {
    return kUnusableName.str();
}

std::string reasonForNameFault(text::WindowsNameFault fault) {
    switch (fault) {
    case text::WindowsNameFault::DeviceName:
        return kDeviceName.str();
    case text::WindowsNameFault::TrailingDotOrSpace:
        return kTrailingDotOrSpace.str();
    case text::WindowsNameFault::None:
        break;
    }
    return kUnusableName.str();
}

std::string withReason(std::string_view what, std::string_view reason) {
    std::string text(what);
    if (reason.empty())
        return text;
    if (what.empty())
        return std::string(reason);
    return text + kOpenParen.str() + std::string(reason) + kCloseParen.str();
}

} // namespace platform
