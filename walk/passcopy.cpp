#include "passcopy.h"

#include "platform/codepage.h"
#include "platform/filecopy.h"

namespace walk {
namespace {

const platform::Text kMore{u8"……"};
const platform::Text kOpenParen{u8"（"};
const platform::Text kCloseParen{u8"）"};

} // namespace

void CopyFailures::Add(std::string path, std::string reason) {
    if (named_.size() < kNamed)
        named_.push_back({std::move(path), std::move(reason)});
    ++count_;
}

std::string CopyFailures::Describe(const std::string& done, const std::string& before,
                                   const std::string& after) const {
    std::string text = done;
    if (count_ == 0)
        return text;
    text += "\n\n" + before + std::to_string(count_) + after;
    for (const CopyFailure& failure : named_)
        text += "\n" + failure.path + kOpenParen.str() + failure.reason + kCloseParen.str();
    if (count_ > static_cast<int64_t>(named_.size()))
        text += "\n" + kMore.str();
    return text;
}

void CopyPassFile(const std::string& from, const std::string& to, CopyFailures& failures) {
    platform::CopyResult result = platform::copyFileNoReplace(from, to);
    if (result.status == platform::CopyStatus::Failed)
        failures.Add(from, std::move(result.reason));
}

} // namespace walk
