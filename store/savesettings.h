#pragma once

#include <string>

struct SavedSettings {
    std::string settingsFilePath;
    int recordCount = 0;
};

// What confirming the folders does to the store: makes the program folders, rewrites the
// settings file and reads the record count (starting it at 0 when missing). Throws ProgramError
// when the count file holds no integer.
SavedSettings SaveSettings(const std::string& sourceDir, const std::string& destDir);
