#pragma once
#include <memory>
#include <string>
#include <string_view>

// Small pieces the saving and the opening of a panorama share.

bool canOpenForReading(const std::string& path);
// A heap copy of text for a panorama's title.
std::unique_ptr<char[]> makeTitle(std::string_view text);
// A folder setting, empty when absent ("setting missing" message when report is set).
std::string readFolderSetting(const char* name, bool report);
// "LastType", -1 when absent.
int readLastType();
