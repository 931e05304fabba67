#include "codepage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace text {
namespace {

// One converter per direction and thread: iconv descriptors keep state and are not thread-safe.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("code page 950 conversion is not available");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts in, calling onInvalid(in, out) at every byte sequence that does not convert; it
    // returns how many input bytes to skip, or 0 to give up.
    template <typename OnInvalid>
    bool convert(std::string_view in, std::string& out, OnInvalid onInvalid) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        out.reserve(in.size() * 3 / 2 + 8);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[512];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            size_t skip = onInvalid(std::string_view(src, srcLeft), out);
            if (skip == 0)
                return false;
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return true;
    }

private:
    iconv_t cd_;
};

Converter& toAnsi() {
    thread_local Converter converter("CP950", "UTF-8");
    return converter;
}

Converter& fromAnsi() {
    thread_local Converter converter("UTF-8", "CP950");
    return converter;
}

size_t utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

} // namespace

static bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

std::string ansiFromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8); // the same bytes in both
    std::string out;
    toAnsi().convert(utf8, out, [](std::string_view rest, std::string& to) {
        to.push_back('?');
        return std::min(rest.size(), utf8SequenceLength(static_cast<unsigned char>(rest[0])));
    });
    return out;
}

std::optional<std::string> utf8FromAnsiStrict(std::string_view ansi) {
    if (isAscii(ansi))
        return std::string(ansi);
    std::string out;
    if (!fromAnsi().convert(ansi, out, [](std::string_view, std::string&) { return size_t{0}; }))
        return std::nullopt;
    return out;
}

std::string utf8FromAnsi(std::string_view ansi) {
    if (isAscii(ansi))
        return std::string(ansi);
    std::string out;
    fromAnsi().convert(ansi, out, [](std::string_view, std::string& to) {
        to += "\xEF\xBF\xBD";
        return size_t{1};
    });
    return out;
}

} // namespace text
