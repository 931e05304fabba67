#include "restorechoice.h"

#include "text/programpath.h"

namespace restore {

std::string RestoreChoice::sourceLineKey() const {
    std::vector<std::string> names = text::pathElements(folder);
    size_t root = text::pathElements(copyRoot).size();
    std::string key;
    for (size_t i = root > 0 ? root - 1 : 0; i < names.size(); ++i)
        key += "\\" + names[i];
    return key;
}

int RestoreChoice::levelsBelowCopyRoot() const {
    size_t below = text::pathElements(folder).size();
    size_t root = text::pathElements(copyRoot).size();
    return below > root ? static_cast<int>(below - root) : 0;
}

std::optional<RestoreJobInput> restoreInput(const store::BackupStore& store,
                                            const RestoreChoice& choice) {
    std::optional<std::string> target =
        store.FindSourceLine(choice.listFileName, choice.sourceLineKey());
    if (!target)
        return std::nullopt;
    // The folder that was backed up is the root the restore's path follows links to.
    return RestoreJobInput{choice.folder, *target,
                           folderAbove(*target, choice.levelsBelowCopyRoot())};
}

RestoreJobInput restoreInputInto(const RestoreChoice& choice, const std::string& intoFolder) {
    return RestoreJobInput{choice.folder, intoFolder + choice.sourceLineKey(), intoFolder};
}

} // namespace restore
