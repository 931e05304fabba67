#include "filecopy.h"

#include "big5.h"
#include "hosterror.h"
#include "programpath.h"
#include "targetfolder.h"

namespace platform {

CopyResult copyFileNoReplace(std::string_view from, std::string_view to) {
    size_t slash = big5::rfind(to, '\\');
    if (slash == std::string_view::npos || isDriveRoot(to))
        return {CopyStatus::Failed, unusableNameReason()};
    std::string folderPath(to.substr(0, slash));
    if (slash == 2)
        folderPath += '\\'; // the root of the drive
    std::string whyNot;
    TargetFolder folder = TargetFolder::open(folderPath, whyNot);
    if (!folder.isOpen())
        return {CopyStatus::Failed, whyNot};
    return folder.copyIn(from, to.substr(slash + 1));
}

} // namespace platform
