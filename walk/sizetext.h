#pragma once

#include <cstdint>
#include <string>

namespace walk {

// The size line both jobs show: " 檔案大小：" + megabytes with two decimals + "MB(" + files +
// "個檔案)".
std::string sizeText(uint64_t bytes, int64_t files);

// Megabytes with two decimals: 0.29 for 300,000 bytes.
std::string megabytesText(uint64_t bytes);

} // namespace walk
