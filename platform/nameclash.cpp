#include "nameclash.h"

#include "text/codepage.h"

#include <atomic>

namespace platform {
namespace {

const text::Text kShortNameClash{u8"名稱與另一個檔案的短名稱相同"};
const text::Text kCaseClash{u8"名稱與另一個檔案只差大小寫"};

std::atomic<bool> assumeMayMatch{false};

} // namespace

std::string nameClashReason(bool caseOnly) {
    return caseOnly ? kCaseClash.str() : kShortNameClash.str();
}

void assumeNamesMayMatchOthersForTesting(bool assume) {
    assumeMayMatch = assume;
}

bool namesMayMatchOthersAssumed() {
    return assumeMayMatch;
}

} // namespace platform
