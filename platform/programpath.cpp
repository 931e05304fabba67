#include "programpath.h"

#include "big5.h"

namespace platform {

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

} // namespace platform
