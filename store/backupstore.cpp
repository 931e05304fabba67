#include "backupstore.h"

#include "text/programerror.h"
#include "text/textmode.h"

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/hosterror.h"
#include "text/big5.h"
#include "text/codepage.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace store {
namespace {

const text::Text kSourceKey{u8"備份來源目錄="};
const text::Text kDestKey{u8"備份目標目錄="};

constexpr const char* kSettingsFile = "SystemBackRD.ini";
constexpr const char* kCountFile = "TotalCount.ini";
constexpr const char* kCatalogFile = "BackupDir.ini";

const text::Text kDamagedBefore{u8"檔案已損壞，無法讀取："};
const text::Text kCannotRead{u8"無法讀取："};
const text::Text kTooLarge{u8"（檔案大小超出正常範圍）"};
const text::Text kBadCountBefore{u8"還原點數目有誤："};
const text::Text kBadCountAfter{u8"（應為 0 到 2147483646 之間的整數）"};
const text::Text kNumbersUsedUp{u8"（還原點編號已用盡）"};

// The largest files a healthy store makes, by far: a larger one is damaged. A folder list has a
// line per folder of the source, so it may be large in earnest.
constexpr size_t kSettingsLimit = 64 << 10;
constexpr size_t kCountLimit = 64;
constexpr size_t kCatalogLimit = 1 << 20;
constexpr size_t kPointFileLimit = 1 << 20;
constexpr size_t kFolderListLimit = size_t{256} << 20;

// The decoded text; nullopt when missing. A damaged file throws ProgramError, or reads as
// missing when `damagedIsMissing`. A file that is there but cannot be read always throws: taken
// for missing, or for the part that was read, it would be replaced by what follows from that.
std::optional<std::string> readText(const std::string& path, size_t limit,
                                    bool damagedIsMissing = false) {
    platform::FileContents stored = platform::readFile(path, limit);
    if (stored.status == platform::ReadStatus::Failed)
        throw ProgramError(kCannotRead.str() + platform::withReason(path, stored.reason));
    if (stored.status == platform::ReadStatus::TooLarge) {
        if (damagedIsMissing)
            return std::nullopt;
        throw ProgramError(kDamagedBefore.str() + path + kTooLarge.str());
    }
    if (stored.status == platform::ReadStatus::Missing)
        return std::nullopt;
    return text::textmode::decode(stored.bytes);
}

// The value of a settings line: the text after its last "=", or the whole line.
std::string settingsValue(std::string_view line) {
    size_t equals = line.rfind('=');
    return std::string(equals == std::string_view::npos ? line : line.substr(equals + 1));
}

bool isDecimal(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A name read from a file of the store must stay inside the Recover folder.
bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           text::big5::find(name, '\\') == std::string_view::npos &&
           text::big5::find(name, '/') == std::string_view::npos;
}

std::string recordText(const std::string& destDir, const std::string& number,
                       const std::string& backupName) {
    return destDir + "\\<" + number + ">" + backupName;
}

// The record number of a catalog line's digits, or nullopt when they are none or too large.
std::optional<int> recordNumber(const std::string& digits) {
    int number = 0;
    const char* end = digits.data() + digits.size();
    if (!isDecimal(digits) || std::from_chars(digits.data(), end, number).ec != std::errc())
        return std::nullopt;
    return number;
}

std::string linesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text::textmode::encode(text);
}

} // namespace

BackupStore::BackupStore() : folder_(ProgramFolder()) {}

BackupStore::BackupStore(std::string programFolder) : folder_(std::move(programFolder)) {}

std::optional<BackupStore> BackupStore::FromSettingsFilePath(const std::string& settingsFilePath) {
    size_t name = settingsFilePath.find(kSettingsFile);
    if (name == std::string::npos || name == 0 || settingsFilePath[name - 1] != '\\')
        return std::nullopt;
    return BackupStore(settingsFilePath.substr(0, name - 1));
}

std::string BackupStore::ProgramFolder() {
    std::string systemDir = platform::systemDirectory();
    return systemDir.substr(0, 1) + ":\\Program Files\\Tarnwick2004";
}

std::string BackupStore::SettingsFilePath() const {
    return folder_ + "\\" + kSettingsFile;
}

std::string BackupStore::LastBackupPath() const {
    return folder_ + "\\LastBackup.ini";
}

std::string BackupStore::RecoverFolder() const {
    return folder_ + "\\Recover";
}

std::string BackupStore::recoverFile(const std::string& name) const {
    return RecoverFolder() + "\\" + name;
}

std::string BackupStore::CountFilePath() const {
    return folder_ + "\\" + kCountFile;
}

std::string BackupStore::CatalogPath() const {
    return recoverFile(kCatalogFile);
}

std::string BackupStore::PointFilePath(int number) const {
    return recoverFile(std::to_string(number) + ".ini");
}

std::string BackupStore::FolderListPath(const std::string& listFileName) const {
    return recoverFile(listFileName);
}

BackupStore::Recording::Recording(const BackupStore& store)
    : lock_(store.RecoverFolder() + "\\BackupDir.lock") {}

void BackupStore::RemoveStaleTemporaries() const {
    platform::removeStaleTemporaries(folder_);
    platform::removeStaleTemporaries(RecoverFolder());
}

std::optional<FileLines> BackupStore::readLines(const std::string& path, size_t limit) const {
    std::optional<std::string> text = readText(path, limit);
    if (!text)
        return std::nullopt;
    FileLines file;
    file.lines = text::textmode::splitLines(*text);
    file.lastCutShort = !text->empty() && text->back() != '\n';
    return file;
}

std::optional<FolderFailure> BackupStore::CreateFolders() const {
    for (const std::string& folder : {folder_, RecoverFolder()}) {
        std::string whyNot;
        if (!platform::createFolder(folder, whyNot) && !platform::folderExists(folder))
            return FolderFailure{folder, whyNot};
    }
    return std::nullopt;
}

std::optional<FolderFailure> BackupStore::CheckWritable() const {
    for (const std::string& folder : {folder_, RecoverFolder()})
        if (platform::WriteResult writable = platform::checkWritable(folder); !writable)
            return FolderFailure{folder, writable.reason};
    return std::nullopt;
}

std::optional<SettingsValues> BackupStore::ReadSettings() const {
    std::optional<std::string> text = readText(SettingsFilePath(), kSettingsLimit, true);
    if (!text)
        return std::nullopt;
    size_t lineEnd = text->find('\n');
    std::string first = text->substr(0, lineEnd);
    std::string rest;
    if (lineEnd != std::string::npos)
        std::copy_if(text->begin() + static_cast<std::ptrdiff_t>(lineEnd) + 1, text->end(),
                     std::back_inserter(rest), [](char c) { return c != '\n'; });
    return SettingsValues{settingsValue(first), settingsValue(rest)};
}

platform::WriteResult BackupStore::WriteSettings(const std::string& sourceDir,
                                                 const std::string& destDir) const {
    std::string text = kSourceKey.str() + sourceDir + "\n" + kDestKey.str() + destDir + "\n";
    return platform::replaceFile(SettingsFilePath(), text::textmode::encode(text));
}

int BackupStore::EnsureRecordCount() const {
    std::string path = CountFilePath();
    std::optional<std::string> text = readText(path, kCountLimit);
    if (!text) {
        // Only a missing file starts the count afresh: one that exists but cannot be read has
        // thrown, and is left alone so that its count is not lost. A count file that cannot be
        // made shows when the restore point is recorded.
        static_cast<void>(platform::createNewFile(path, "0"));
        return 0;
    }
    std::erase(*text, '\n');
    int count = StrToInt(*text);
    // The next record takes count + 1: a negative count would reuse a number, the largest one
    // would wrap.
    if (count < 0 || count == INT_MAX)
        throw ProgramError(kBadCountBefore.str() + path + " '" + *text + "'" +
                           kBadCountAfter.str());
    return count;
}

platform::WriteResult BackupStore::WriteRecordCount(int count) const {
    return platform::replaceFile(CountFilePath(), std::to_string(count));
}

std::optional<std::vector<std::string>> BackupStore::ReadCatalog() const {
    std::optional<FileLines> file = ReadCatalogFile();
    if (!file)
        return std::nullopt;
    return std::move(file->lines);
}

std::optional<FileLines> BackupStore::ReadCatalogFile() const {
    return readLines(CatalogPath(), kCatalogLimit);
}

platform::WriteResult BackupStore::WriteCatalog(const std::vector<std::string>& lines) const {
    return platform::replaceFile(CatalogPath(), linesText(lines));
}

std::string BackupStore::RecordText(const std::string& destDir, int number,
                                    const std::string& backupName) {
    return recordText(destDir, std::to_string(number), backupName);
}

BackupRecord BackupStore::ParseRecord(std::string_view line) {
    BackupRecord record;
    size_t open = line.find('<');
    size_t close = line.find('>');
    if (open != std::string_view::npos) {
        record.destPrefix = line.substr(0, open);
        record.destDir = record.destPrefix.substr(0, open > 0 ? open - 1 : 0);
    }
    size_t numberStart = open == std::string_view::npos ? 0 : open + 1;
    if (close != std::string_view::npos) {
        if (close > numberStart)
            record.pointNumber = line.substr(numberStart, close - numberStart);
        record.backupName = line.substr(close + 1);
    }
    return record;
}

int BackupStore::FindRecord(const std::vector<std::string>& lines, const std::string& destDir,
                            const std::string& backupName) {
    for (size_t k = 1; k <= lines.size(); ++k)
        if (lines[k - 1] == recordText(destDir, std::to_string(k), backupName))
            return static_cast<int>(k);
    return 0;
}

int BackupStore::FindRecordAnywhere(const std::vector<std::string>& lines,
                                    const std::string& destDir, const std::string& backupName) {
    for (const std::string& line : lines) {
        std::optional<int> number = recordNumber(ParseRecord(line).pointNumber);
        if (number && *number > 0 &&
            line == recordText(destDir, std::to_string(*number), backupName))
            return *number;
    }
    return 0;
}

int BackupStore::HighestRecordNumber(const std::vector<std::string>& lines) {
    int highest = 0;
    for (const std::string& line : lines) {
        std::string digits = ParseRecord(line).pointNumber;
        if (!isDecimal(digits))
            continue;
        std::optional<int> number = recordNumber(digits);
        if (!number || *number == INT_MAX)
            throw ProgramError(kBadCountBefore.str() + kCatalogFile + " '" + digits.substr(0, 20) +
                               "'" + kNumbersUsedUp.str());
        highest = std::max(highest, *number);
    }
    return highest;
}

std::string BackupStore::FolderListFileName(const std::string& backupName, int number,
                                            const std::string& sourceName) {
    return backupName + std::to_string(number) + "_" + sourceName + ".ini";
}

platform::WriteResult BackupStore::WriteFolderList(const std::string& backupName, int number,
                                                   const std::string& sourceName,
                                                   const std::string& folderList) const {
    return platform::replaceFile(FolderListPath(FolderListFileName(backupName, number, sourceName)),
                                 text::textmode::encode(folderList));
}

std::optional<FileLines> BackupStore::ReadPointEntries(int number) const {
    return readLines(PointFilePath(number), kPointFileLimit);
}

platform::WriteResult BackupStore::WritePointFile(int number,
                                                  const std::vector<std::string>& entries) const {
    return platform::replaceFile(PointFilePath(number), linesText(entries));
}

std::optional<std::vector<PointEntry>>
BackupStore::ReadPointFile(const std::string& number, const std::string& backupName) const {
    if (!isDecimal(number))
        return std::nullopt;
    std::optional<std::string> text = readText(recoverFile(number + ".ini"), kPointFileLimit);
    if (!text)
        return std::nullopt;
    std::vector<PointEntry> entries;
    size_t prefix = backupName.size() + number.size() + 1;
    for (std::string& line : text::textmode::splitLines(*text)) {
        std::string_view rest = line.size() > prefix ? std::string_view(line).substr(prefix) : "";
        size_t suffix = rest.find(".ini");
        std::string sourceName(suffix == std::string_view::npos ? "" : rest.substr(0, suffix));
        entries.push_back({std::move(sourceName), std::move(line)});
    }
    return entries;
}

std::optional<std::vector<std::string>>
BackupStore::readFolderList(const std::string& listFileName) const {
    if (!isPlainFileName(listFileName))
        return std::nullopt;
    std::optional<std::string> text = readText(recoverFile(listFileName), kFolderListLimit);
    if (!text)
        return std::nullopt;
    return text::textmode::splitLines(*text);
}

std::optional<std::string> BackupStore::FolderListHead(const std::string& listFileName) const {
    std::optional<std::vector<std::string>> lines = readFolderList(listFileName);
    if (!lines || lines->empty())
        return std::nullopt;
    return std::move(lines->front());
}

std::optional<std::string> BackupStore::FindSourceLine(const std::string& listFileName,
                                                       const std::string& relative) const {
    std::optional<std::vector<std::string>> list = readFolderList(listFileName);
    if (!list)
        return std::nullopt;
    std::vector<std::string>& lines = *list;
    // Line 1 is the folder that was backed up, and the relative text starts with its name: the
    // folder's own line is line 1 with the rest of the relative text below it. Failing that, a
    // line that ends with the relative text, and last the first that holds it anywhere (a folder
    // of the same name deeper down).
    if (!lines.empty()) {
        size_t below = std::min(text::big5::find(relative, '\\', 1), relative.size());
        std::string_view top = std::string_view(relative).substr(0, below);
        if (!top.empty() && text::big5::endsWith(lines[0], top)) {
            std::string own = lines[0] + relative.substr(below);
            if (std::find(lines.begin(), lines.end(), own) != lines.end())
                return own;
        }
    }
    for (std::string& line : lines)
        if (text::big5::endsWith(line, relative))
            return std::move(line);
    for (std::string& line : lines)
        if (text::big5::find(line, relative) != std::string::npos)
            return std::move(line);
    return std::string();
}

std::string FormBackupName(std::string_view shortDate) {
    // Each cut takes the text before the first "/"; a cut that finds none takes nothing and
    // leaves the whole text for the next piece.
    auto cut = [](std::string_view& rest) {
        size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return std::string_view();
        std::string_view piece = rest.substr(0, slash);
        rest.remove_prefix(slash + 1);
        return piece;
    };
    std::string_view rest = shortDate;
    std::string_view year = cut(rest);
    std::string_view month = cut(rest);
    return std::string(year) + "_" + std::string(month) + "_" + std::string(rest) + "_Back";
}

} // namespace store
