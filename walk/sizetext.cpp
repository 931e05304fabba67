#include "sizetext.h"

#include "text/codepage.h"

#include <cstdio>

namespace walk {
namespace {

const text::Text kSizePrefix{u8" 檔案大小："};
const text::Text kFilesSuffix{u8"個檔案)"};

} // namespace

std::string sizeText(uint64_t bytes, int64_t files) {
    return kSizePrefix.str() + megabytesText(bytes) + "MB(" + std::to_string(files) +
           kFilesSuffix.str();
}

std::string megabytesText(uint64_t bytes) {
    char megabytes[64];
    std::snprintf(megabytes, sizeof megabytes, "%.2f", static_cast<double>(bytes) / 1048576.0);
    return megabytes;
}

} // namespace walk
