#include "lastbackup.h"

#include "platform/hosterror.h"
#include "text/codepage.h"
#include "text/programerror.h"
#include "text/textmode.h"

#include <array>

namespace store {
namespace {

const text::Text kWhenKey{u8"時間="};
const text::Text kSourceKey{u8"來源="};
const text::Text kDestKey{u8"目地="};
const text::Text kStatusKey{u8"結果="};
const text::Text kReasonKey{u8"原因="};
const text::Text kToldKey{u8"已告知="};
const text::Text kCannotRead{u8"無法讀取："};

// Far more than six lines of paths and a reason take: a larger file is damaged.
constexpr size_t kLimit = 64 << 10;

std::array<const text::Text*, 6> keys() {
    return {&kWhenKey, &kSourceKey, &kDestKey, &kStatusKey, &kReasonKey, &kToldKey};
}

// One line: a line end in the value would start a line the reader does not expect.
std::string oneLine(std::string value) {
    for (char& c : value)
        if (c == '\n' || c == '\r')
            c = ' ';
    return value;
}

} // namespace

std::optional<LastBackup> ReadLastBackup(const BackupStore& store) {
    std::string path = store.LastBackupPath();
    platform::FileContents stored = platform::readFile(path, kLimit);
    if (stored.status == platform::ReadStatus::Failed)
        throw ProgramError(kCannotRead.str() + platform::withReason(path, stored.reason));
    if (stored.status != platform::ReadStatus::Read)
        return std::nullopt;
    std::string text = text::textmode::decode(stored.bytes);
    if (text.empty() || text.back() != '\n') // cut short
        return std::nullopt;
    std::vector<std::string> lines = text::textmode::splitLines(text);
    if (lines.size() != keys().size())
        return std::nullopt;
    std::array<std::string, 6> values;
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string& key = keys()[i]->str();
        if (lines[i].compare(0, key.size(), key) != 0)
            return std::nullopt;
        values[i] = lines[i].substr(key.size());
    }
    if (values[3].size() != 1 || values[3][0] < '0' || values[3][0] > '2' ||
        (values[5] != "0" && values[5] != "1"))
        return std::nullopt;
    return LastBackup{values[0],          values[1], values[2],
                      values[3][0] - '0', values[4], values[5] == "1"};
}

platform::WriteResult WriteLastBackup(const BackupStore& store, const LastBackup& record) {
    std::array<std::string, 6> values{record.when,    record.sourceDir,
                                      record.destDir, std::to_string(record.status),
                                      record.reason,  record.told ? "1" : "0"};
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += keys()[i]->str() + oneLine(values[i]) + "\n";
    return platform::replaceFile(store.LastBackupPath(), text::textmode::encode(text));
}

} // namespace store
