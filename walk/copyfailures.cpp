#include "copyfailures.h"

#include "platform/hosterror.h"
#include "text/codepage.h"

#include <algorithm>

namespace walk {
namespace {

const text::Text kMore{u8"……"};
const text::Text kPassedBefore{u8"略過 "};

} // namespace

const text::Text kPassedLinksAfter{
    u8" 個 Windows 為舊程式保留的相容性連結（隱藏的系統連結，不跟隨，不算失敗）："};

namespace {} // namespace

void CopyFailures::add(std::string path, std::string reason) {
    files_.push_back({std::move(path), std::move(reason), {}});
}

void CopyFailures::addFolder(std::string path, std::string reason) {
    folders_.push_back({std::move(path), std::move(reason), {}});
}

void CopyFailures::addDiffering(std::string path) {
    differing_.push_back({std::move(path), {}, {}});
}

void CopyFailures::addPassedLink(std::string path) {
    passedLinks_.push_back({std::move(path), {}, {}});
}

void CopyFailures::nameLastOnHost(std::string hostText) {
    if (!files_.empty())
        files_.back().hostText = std::move(hostText);
}

void CopyFailures::takeFiles(CopyFailures&& other) {
    auto take = [](std::vector<CopyFailure>& into, std::vector<CopyFailure>& from) {
        into.insert(into.end(), std::make_move_iterator(from.begin()),
                    std::make_move_iterator(from.end()));
    };
    take(files_, other.files_);
    take(differing_, other.differing_);
}

namespace {

void describeKind(std::string& text, const std::vector<CopyFailure>& failed,
                  const std::string& before, const std::string& after) {
    if (failed.empty())
        return;
    // Appended piece by piece: GCC 12 at -O2 takes "literal" + string for an overlapping copy.
    text.append("\n\n").append(before).append(std::to_string(failed.size())).append(after);
    size_t named = std::min(failed.size(), CopyFailures::kNamed);
    for (size_t i = 0; i < named; ++i)
        text.append("\n").append(platform::withReason(failed[i].path, failed[i].reason));
    if (failed.size() > named)
        text.append("\n").append(kMore.str());
}

} // namespace

std::string CopyFailures::describe(const FailureWords& words) const {
    std::string text = words.done;
    describeKind(text, files_, words.filesBefore, words.filesAfter);
    describeKind(text, folders_, words.foldersBefore, words.foldersAfter);
    describeKind(text, differing_, words.differingBefore, words.differingAfter);
    describeKind(text, passedLinks_, kPassedBefore.str(), kPassedLinksAfter.str());
    return text;
}

} // namespace walk
