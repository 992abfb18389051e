#pragma once
// The log files of a folder in the order they were written. Their names are the
// local time without leading zeros ("2005_3_7___14_5_9_312_log.txt"), so the
// numbers in them decide, not the text. Shared by the tests and the benchmarks.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::filesystem::path> LogFilesInWrittenOrder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().ends_with("_log.txt")) files.push_back(entry.path());
    const auto numbers = [](const std::filesystem::path& file) {
        std::vector<long> fields;
        const std::string name = file.filename().string();
        for (size_t i = 0; i < name.size();) {
            if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
            fields.push_back(std::stol(name.substr(i, end - i)));
            i = end;
        }
        return fields;
    };
    std::sort(files.begin(), files.end(),
              [&](const auto& a, const auto& b) { return numbers(a) < numbers(b); });
    return files;
}
