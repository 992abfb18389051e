#pragma once
// The program's version texts. Linux files carry no version resource, so the
// running program's texts are compiled in from the build's version.

#include <array>
#include <string>

class VerInfo {
public:
    // Texts of the named file, or of the running program when the file does not
    // exist (or is the running program itself); any other file has none (all empty).
    explicit VerInfo(const std::string& fileName = "");
    // 0 CompanyName, 1 FileDescription, 2 FileVersion, 3 InternalName, 4 LegalCopyright,
    // 5 LegalTrademarks, 6 OriginalFilename, 7 ProductName, 8 ProductVersion, 9 Comments;
    // any other index gives FileVersion.
    std::string GetVersionString(int index) const;

private:
    std::array<std::string, 10> texts_;
};
