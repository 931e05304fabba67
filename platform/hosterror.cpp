#include "hosterror.h"

#include "codepage.h"

namespace platform {
namespace {

const Text kOpenParen{u8"（"};
const Text kCloseParen{u8"）"};

} // namespace

std::string withReason(std::string_view what, std::string_view reason) {
    std::string text(what);
    if (reason.empty())
        return text;
    if (what.empty())
        return std::string(reason);
    return text + kOpenParen.str() + std::string(reason) + kCloseParen.str();
}

} // namespace platform
