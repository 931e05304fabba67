#include "backupstore.h"

#include "platform/programerror.h"
#include "textmode.h"

#include "platform/big5.h"
#include "platform/codepage.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/folders.h"

#include <algorithm>

namespace {

const platform::Text kSourceKey{u8"備份來源目錄="};
const platform::Text kDestKey{u8"備份目標目錄="};

constexpr const char* kSettingsFile = "SystemBackRD.ini";
constexpr const char* kCountFile = "TotalCount.ini";
constexpr const char* kCatalogFile = "BackupDir.ini";

std::optional<std::string> readText(const std::string& path) {
    std::optional<std::string> stored = platform::readFile(path);
    if (!stored)
        return std::nullopt;
    return textmode::decode(*stored);
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
           big5::find(name, '\\') == std::string_view::npos &&
           big5::find(name, '/') == std::string_view::npos;
}

std::string recordText(const std::string& destDir, const std::string& number,
                       const std::string& backupName) {
    return destDir + "\\<" + number + ">" + backupName;
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

std::string BackupStore::RecoverFolder() const {
    return folder_ + "\\Recover";
}

std::string BackupStore::recoverFile(const std::string& name) const {
    return RecoverFolder() + "\\" + name;
}

void BackupStore::CreateFolders() const {
    platform::createFolder(folder_);
    platform::createFolder(RecoverFolder());
}

std::optional<SettingsValues> BackupStore::ReadSettings() const {
    std::optional<std::string> text = readText(SettingsFilePath());
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

bool BackupStore::WriteSettings(const std::string& sourceDir, const std::string& destDir) const {
    std::string text = kSourceKey.str() + sourceDir + "\n" + kDestKey.str() + destDir + "\n";
    return platform::replaceFile(SettingsFilePath(), textmode::encode(text));
}

int BackupStore::EnsureRecordCount() const {
    std::string path = folder_ + "\\" + kCountFile;
    std::optional<std::string> text = readText(path);
    if (!text) {
        // Only a missing file starts the count afresh: one that exists but cannot be read is
        // left alone, so its count is not lost.
        platform::createNewFile(path, "0");
        return 0;
    }
    std::erase(*text, '\n');
    return StrToInt(*text);
}

bool BackupStore::WriteRecordCount(int count) const {
    return platform::replaceFile(folder_ + "\\" + kCountFile, std::to_string(count));
}

std::optional<std::vector<std::string>> BackupStore::ReadCatalog() const {
    std::optional<std::string> text = readText(recoverFile(kCatalogFile));
    if (!text)
        return std::nullopt;
    return textmode::splitLines(*text);
}

bool BackupStore::CreateCatalogIfMissing() const {
    std::string path = recoverFile(kCatalogFile);
    return platform::createNewFile(path, "") || platform::canOpenForReading(path);
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

bool BackupStore::AppendRecord(const std::string& destDir, int number,
                               const std::string& backupName) const {
    std::string line = recordText(destDir, std::to_string(number), backupName) + "\n";
    return platform::appendFile(recoverFile(kCatalogFile), textmode::encode(line));
}

std::string BackupStore::FolderListFileName(const std::string& backupName, int number,
                                            const std::string& sourceName) {
    return backupName + std::to_string(number) + "_" + sourceName + ".ini";
}

bool BackupStore::WriteFolderList(const std::string& backupName, int number,
                                  const std::string& sourceName,
                                  const std::string& folderList) const {
    std::string path = recoverFile(FolderListFileName(backupName, number, sourceName));
    bool wasMissing = !platform::canOpenForReading(path);
    platform::replaceFile(path, textmode::encode(folderList));
    return wasMissing;
}

bool BackupStore::AppendPointEntry(int number, const std::string& entry) const {
    return platform::appendFile(recoverFile(std::to_string(number) + ".ini"),
                                textmode::encode(entry + "\n"));
}

std::optional<std::vector<PointEntry>>
BackupStore::ReadPointFile(const std::string& number, const std::string& backupName) const {
    if (!isDecimal(number))
        return std::nullopt;
    std::optional<std::string> text = readText(recoverFile(number + ".ini"));
    if (!text)
        return std::nullopt;
    std::vector<PointEntry> entries;
    size_t prefix = backupName.size() + number.size() + 1;
    for (std::string& line : textmode::splitLines(*text)) {
        std::string_view rest = line.size() > prefix ? std::string_view(line).substr(prefix) : "";
        size_t suffix = rest.find(".ini");
        std::string sourceName(suffix == std::string_view::npos ? "" : rest.substr(0, suffix));
        entries.push_back({std::move(sourceName), std::move(line)});
    }
    return entries;
}

std::optional<std::string> BackupStore::FindSourceLine(const std::string& listFileName,
                                                       const std::string& relative) const {
    if (!isPlainFileName(listFileName))
        return std::nullopt;
    std::optional<std::string> text = readText(recoverFile(listFileName));
    if (!text)
        return std::nullopt;
    std::vector<std::string> lines = textmode::splitLines(*text);
    // Line 1 is the folder that was backed up, and the relative text starts with its name: the
    // folder's own line is line 1 with the rest of the relative text below it. Failing that, a
    // line that ends with the relative text, and last the first that holds it anywhere (a folder
    // of the same name deeper down).
    if (!lines.empty()) {
        size_t below = std::min(big5::find(relative, '\\', 1), relative.size());
        std::string_view top = std::string_view(relative).substr(0, below);
        if (!top.empty() && big5::endsWith(lines[0], top)) {
            std::string own = lines[0] + relative.substr(below);
            if (std::find(lines.begin(), lines.end(), own) != lines.end())
                return own;
        }
    }
    for (std::string& line : lines)
        if (big5::endsWith(line, relative))
            return std::move(line);
    for (std::string& line : lines)
        if (big5::find(line, relative) != std::string::npos)
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
