// A registry file of its own for each test, in a fresh temporary folder,
// and the checks every registry test wants at its end.
#pragma once

#include <windows.h>

#include "registry/registry.h"
#include "registry/registry_document.h"
#include "registry/registry_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline constexpr char settingsKey[] = "Software\\Korvell Software\\Huevane";
inline constexpr char settingsPath[] = "HKEY_CURRENT_USER\\Software\\Korvell Software\\Huevane";

inline std::string describeDocument(const win32::registry::Document& document)
{
    std::ostringstream out;
    for (const win32::registry::Key& key : document.keys) {
        out << "[" << key.path << "]\n";
        for (const win32::registry::Value& value : key.values) {
            out << "  '" << value.name << "' type " << value.type << ":";
            for (uint8_t b : value.data)
                out << " " << int(b);
            out << "\n";
        }
    }
    return out.str();
}

inline std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeWholeFile(const std::string& path, std::string_view text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "huevane-registry-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        file_ = folder_ + "/config/huevane/registry.reg";
        setenv("HUEVANE_REGISTRY_FILE", file_.c_str(), 1);
        win32::registry::setCommitHookForTesting(nullptr);
    }

    void TearDown() override
    {
        win32::registry::setCommitHookForTesting(nullptr);
        EXPECT_EQ(win32::registry::liveKeyCount(), 0u) << "a key handle was left open";
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        unsetenv("HUEVANE_REGISTRY_FILE");
    }

    std::string readFile() const { return readWholeFile(file_); }
    void writeFile(std::string_view text) const { writeWholeFile(file_, text); }
    bool fileExists() const { return std::filesystem::exists(file_); }
    bool temporaryFileLeft() const { return std::filesystem::exists(file_ + ".tmp"); }

    // The file as a document; fails the test when it does not parse.
    win32::registry::Document readDocument() const
    {
        win32::registry::ParseResult result = win32::registry::parseRegistryText(readFile());
        EXPECT_TRUE(result.ok) << "line " << result.errorLine << ": " << result.errorMessage;
        return result.document;
    }

    std::string folder_;
    std::string file_;
};

// Sets the 16 colour slots to `colours` as the program's save does.
inline LONG saveSixteen(const DWORD (&colours)[16], const char* key = settingsKey)
{
    HKEY hKey = nullptr;
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &hKey, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    for (int i = 0; i < 16; ++i) {
        std::string name = std::to_string(i);
        status = RegSetValueExA(hKey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&colours[i]), 4);
        if (status != ERROR_SUCCESS) {
            RegCloseKey(hKey);
            return status;
        }
    }
    return RegCloseKey(hKey);
}

inline void fillSixteen(DWORD (&colours)[16], DWORD value)
{
    for (DWORD& c : colours)
        c = value;
}

// Reads the 16 slots back; false when the key or any value is missing.
inline bool loadSixteen(DWORD (&colours)[16], const char* key = settingsKey)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    bool complete = true;
    for (int i = 0; i < 16; ++i) {
        std::string name = std::to_string(i);
        DWORD type = 0;
        DWORD size = sizeof(DWORD);
        if (RegQueryValueExA(hKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&colours[i]), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != 4)
            complete = false;
    }
    RegCloseKey(hKey);
    return complete;
}
