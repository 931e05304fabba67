#include "programpath.h"

#include "big5.h"
#include "codepage.h"

namespace platform {
namespace {

bool isForbiddenInName(unsigned char c) {
    return c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}

} // namespace

std::optional<PathParts> splitProgramPath(std::string_view windowsPath) {
    std::optional<std::string> utf8 = utf8FromAnsiStrict(windowsPath);
    if (!utf8 || utf8->size() < 2 || (*utf8)[1] != ':')
        return std::nullopt;
    char letter = (*utf8)[0];
    if (letter >= 'A' && letter <= 'Z')
        letter = static_cast<char>(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'z')
        return std::nullopt;
    std::string_view rest = std::string_view(*utf8).substr(2);
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/')
        return std::nullopt; // relative to a drive's current folder: not a full path
    PathParts parsed{letter, {}};
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view element = rest.substr(pos, end - pos);
        pos = end + 1;
        if (element.empty() || element == ".")
            continue;
        if (element == "..") {
            if (!parsed.names.empty())
                parsed.names.pop_back();
            continue;
        }
        for (unsigned char c : element)
            if (isForbiddenInName(c))
                return std::nullopt;
        parsed.names.emplace_back(element);
    }
    return parsed;
}

bool isWindowsName(std::string_view utf8Name) {
    if (utf8Name.empty() || utf8Name == "." || utf8Name == "..")
        return false;
    for (unsigned char c : utf8Name)
        if (isForbiddenInName(c) || c == '\\' || c == '/')
            return false;
    return true;
}

bool isDriveRoot(std::string_view windowsPath) {
    std::optional<PathParts> parts = splitProgramPath(windowsPath);
    return parts && parts->names.empty();
}

std::string normalizedFolder(std::string_view folder) {
    std::string path(folder);
    if (path.size() == 2 && path[1] == ':')
        path += '\\';
    if (path.size() >= 2 && path[1] == ':' && path[0] >= 'a' && path[0] <= 'z')
        path[0] = static_cast<char>(path[0] - 'a' + 'A');
    while (path.size() > 3 && path.back() == '\\' && big5::rfind(path, '\\') == path.size() - 1)
        path.pop_back();
    return path;
}

std::vector<std::string> pathElements(std::string_view path) {
    std::vector<std::string> elements;
    size_t start = 3;
    while (start < path.size()) {
        size_t slash = big5::find(path, '\\', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            elements.emplace_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return elements;
}

std::optional<std::string> hostName(std::string_view name) {
    std::optional<std::string> utf8 = utf8FromAnsiStrict(name);
    if (!utf8 || !isWindowsName(*utf8))
        return std::nullopt;
    return utf8;
}

} // namespace platform
