#include "nameclash.h"

#include "win32.h"

namespace platform {

std::optional<std::string> nameClashAt(const std::wstring& path, const std::wstring& name) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return std::nullopt; // gone again: the caller's own look decides
    ::FindClose(find);
    if (name == found.cFileName)
        return std::nullopt;
    bool caseOnly =
        ::CompareStringOrdinal(name.c_str(), -1, found.cFileName, -1, TRUE) == CSTR_EQUAL;
    return nameClashReason(caseOnly);
}

} // namespace platform
