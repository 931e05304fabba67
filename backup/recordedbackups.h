#pragma once

#include "platform/targetfolder.h"

#include <string>
#include <vector>

// The backup names the catalog records for a destination, oldest record first, each once. A
// record belongs to the destination when its folder is the destination's folder, however either
// path was typed (D:\Bak, d:\bak, or through another drive letter).
std::vector<std::string> recordedBackupNames(const std::vector<std::string>& catalog,
                                             const platform::FolderId& destination);
