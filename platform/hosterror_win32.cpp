#include "hosterror.h"
#include "win32.h"

#include "text/codepage.h"

#include <cerrno>

namespace platform {
namespace {

// Errors of today's Windows that mingw-w64 does not all name. Each reason keeps the system's
// number, which the user can look up.
constexpr DWORD kVirusInfected = 225;
constexpr DWORD kVirusDeleted = 226;
constexpr DWORD kCantAccessFile = 1920;   // ERROR_CANT_ACCESS_FILE
constexpr DWORD kEncryptionFailed = 6000; // ERROR_ENCRYPTION_FAILED

const text::Text kEncrypted{u8"加密的檔案無法以加密方式存入此磁碟，代碼 "};
const text::Text kVirusBlocked{u8"防毒程式認為檔案含有病毒，已封鎖，代碼 "};
const text::Text kVirusRemoved{u8"防毒程式認為檔案含有病毒，已刪除，代碼 "};
const text::Text kCloudUnreachable{u8"檔案存放在雲端，但雲端同步程式未執行或無法連線，代碼 "};
const text::Text kCloudNotFetched{u8"檔案存放在雲端，無法從雲端取得，代碼 "};
const text::Text kNoAccess{u8"系統無法存取此檔案，代碼 "};

// The errors of a file kept in the cloud (ERROR_CLOUD_FILE_*): whether the sync program could
// not be reached at all (not running, stopped, signed out, offline, too slow), or fetching or
// handling the file failed. Codes of this range that are no cloud file errors are not listed.
enum class Cloud { No, Unreachable, NotFetched };
Cloud cloudError(DWORD code) {
    switch (code) {
    case 362: // PROVIDER_NOT_RUNNING
    case 386: // AUTHENTICATION_FAILED
    case 388: // NETWORK_UNAVAILABLE
    case 404: // PROVIDER_TERMINATED
    case 426: // REQUEST_TIMEOUT
        return Cloud::Unreachable;
    case 358: // SYNC_ROOT_METADATA_CORRUPT
    case 363: // METADATA_CORRUPT
    case 364: // METADATA_TOO_LARGE
    case 365: // PROPERTY_BLOB_TOO_LARGE
    case 366: // PROPERTY_BLOB_CHECKSUM_MISMATCH
    case 374: // TOO_MANY_PROPERTY_BLOBS
    case 375: // PROPERTY_VERSION_NOT_SUPPORTED
    case 377: // NOT_IN_SYNC
    case 378: // ALREADY_CONNECTED
    case 379: // NOT_SUPPORTED
    case 380: // INVALID_REQUEST
    case 381: // READ_ONLY_VOLUME
    case 382: // CONNECTED_PROVIDER_ONLY
    case 383: // VALIDATION_FAILED
    case 387: // INSUFFICIENT_RESOURCES
    case 389: // UNSUCCESSFUL
    case 390: // NOT_UNDER_SYNC_ROOT
    case 391: // IN_USE
    case 392: // PINNED
    case 393: // REQUEST_ABORTED
    case 394: // PROPERTY_CORRUPT
    case 395: // ACCESS_DENIED
    case 396: // INCOMPATIBLE_HARDLINKS
    case 397: // PROPERTY_LOCK_CONFLICT
    case 398: // REQUEST_CANCELED
        return Cloud::NotFetched;
    default:
        return Cloud::No;
    }
}

} // namespace

std::string reasonForWindowsError(unsigned long code) {
    std::string number = std::to_string(code);
    switch (code) {
    case kEncryptionFailed:
        return kEncrypted.str() + number;
    case kVirusInfected:
        return kVirusBlocked.str() + number;
    case kVirusDeleted:
        return kVirusRemoved.str() + number;
    case kCantAccessFile:
        return kNoAccess.str() + number;
    default:
        break;
    }
    switch (cloudError(static_cast<DWORD>(code))) {
    case Cloud::Unreachable:
        return kCloudUnreachable.str() + number;
    case Cloud::NotFetched:
        return kCloudNotFetched.str() + number;
    case Cloud::No:
        break;
    }
    return {};
}

int errnoFromWin32(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_MORE_FILES:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_DELETE_PENDING:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64 does not name
    case ERROR_NOT_ENOUGH_QUOTA:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NO_UNICODE_TRANSLATION:
        return EILSEQ;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
        return ENOTCONN;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
    case ERROR_SECTOR_NOT_FOUND:
        return EIO;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
        return EOPNOTSUPP;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_TOO_MANY_LINKS:
        return EMLINK;
    default:
        return -static_cast<int>(error);
    }
}

} // namespace platform
