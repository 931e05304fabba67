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

void CopyFailures::add(std::string path, std::string reason) {
    files_.push_back({std::move(path), std::move(reason), {}});
}

void CopyFailures::addFolder(std::string path, std::string reason, std::string hostText) {
    folders_.push_back({std::move(path), std::move(reason), std::move(hostText)});
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

// Program text (code page 950) as it goes into the message: as it is, or as the host's text.
std::string shown(const std::string& ansi, bool onHost) {
    return onHost ? text::utf8FromAnsi(ansi) : ansi;
}

void describeKind(std::string& text, const std::vector<CopyFailure>& failed,
                  const std::string& before, const std::string& after, bool onHost) {
    if (failed.empty())
        return;
    // Appended piece by piece: GCC 12 at -O2 takes "literal" + string for an overlapping copy.
    text.append("\n\n").append(shown(before + std::to_string(failed.size()) + after, onHost));
    size_t named = std::min(failed.size(), CopyFailures::kNamed);
    for (size_t i = 0; i < named; ++i) {
        text.append("\n").append(
            shown(platform::withReason(failed[i].path, failed[i].reason), onHost));
        if (onHost && !failed[i].hostText.empty())
            text.append(" [").append(failed[i].hostText).append("]");
    }
    if (failed.size() > named)
        text.append("\n").append(shown(kMore.str(), onHost));
}

std::string describeAll(const CopyFailures& failures, const FailureWords& words, bool onHost) {
    std::string text = shown(words.done, onHost);
    describeKind(text, failures.files(), words.filesBefore, words.filesAfter, onHost);
    describeKind(text, failures.folders(), words.foldersBefore, words.foldersAfter, onHost);
    describeKind(text, failures.differing(), words.differingBefore, words.differingAfter, onHost);
    describeKind(text, failures.passedLinks(), kPassedBefore.str(), kPassedLinksAfter.str(),
                 onHost);
    return text;
}

} // namespace

std::string CopyFailures::describe(const FailureWords& words) const {
    return describeAll(*this, words, false);
}

std::string CopyFailures::describeOnHost(const FailureWords& words) const {
    return describeAll(*this, words, true);
}

} // namespace walk
