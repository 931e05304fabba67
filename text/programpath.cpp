#include "programpath.h"

#include "big5.h"
#include "codepage.h"

namespace text {
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

WindowsNameFault windowsNameFault(std::string_view name) {
    if (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        return WindowsNameFault::TrailingDotOrSpace;
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return WindowsNameFault::DeviceName;
    if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
        base[3] >= '1' && base[3] <= '9')
        return WindowsNameFault::DeviceName;
    return WindowsNameFault::None;
}

bool isDriveRoot(std::string_view windowsPath) {
    std::optional<PathParts> parts = splitProgramPath(windowsPath);
    return parts && parts->names.empty();
}

std::string destinationForm(std::string_view folder) {
    std::string kept = normalizedFolder(folder);
    if (isDriveRoot(kept))
        kept.resize(2);
    return kept;
}

std::string normalizedFolder(std::string_view folder) {
    bool fullPath =
        folder.size() >= 2 && folder[1] == ':' &&
        ((folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z')) &&
        (folder.size() == 2 || folder[2] == '\\' || folder[2] == '/');
    if (!fullPath)
        return std::string(folder); // refused as it was given
    // The names one whole character at a time: a trail byte may be 0x5C, never "/" or ".".
    std::vector<std::string> names;
    std::string name;
    auto endName = [&] {
        if (name == "..") {
            if (!names.empty())
                names.pop_back(); // never above the root, as the system resolves it
        } else if (!name.empty() && name != ".") {
            names.push_back(name);
        }
        name.clear();
    };
    for (size_t i = 3; i < folder.size(); ++i) {
        char c = folder[i];
        if (c == '\\' || c == '/') {
            endName();
            continue;
        }
        name += c;
        if (big5::isLeadByte(static_cast<unsigned char>(c)) && i + 1 < folder.size())
            name += folder[++i];
    }
    endName();
    std::string path(1, folder[0] >= 'a' ? static_cast<char>(folder[0] - 'a' + 'A') : folder[0]);
    path += ":\\";
    for (size_t i = 0; i < names.size(); ++i)
        path += (i > 0 ? "\\" : "") + names[i];
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

} // namespace text
