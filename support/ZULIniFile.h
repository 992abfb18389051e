#pragma once
// Profile (INI) files: sections in square brackets, one key=value line per key.
// Section and key names compare case-insensitively (ASCII); values are 8-bit text,
// kept byte for byte apart from the blanks and tabs trimmed around keys and values.
// The file is read once at construction and kept in memory; changes reach the
// disk only through UpdateFile.

#include <cstdint>
#include <string>
#include <vector>

class ZULIniFile {
public:
    // Reads fileName when it is a regular file of at most 16 MB. Anything else (a
    // missing file, a folder, a pipe, a device, a larger file) gives an empty profile
    // at once: reading never waits for a writer and never grows without bound.
    explicit ZULIniFile(std::string fileName);
    // An empty profile that is not bound to a file on disk until UpdateFile(name).
    ZULIniFile();

    const std::string& FileName() const { return fileName_; }
    // Why the file gave an empty profile, for the user ("is a FIFO (named pipe)", "is
    // a symbolic link", "is larger than 16 MB", ...); empty when it was read.
    const std::string& LoadError() const { return loadError_; }

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    void EraseSection(const std::string& section);

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Decimal with an optional sign, within 32 bits; anything else gives the default.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
    // Read as an integer: any non-zero value is true.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Replaces the value in place, or appends the key at the end of its section
    // (the section at the end of the file when it is new).
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // The whole profile as file text, every line ended by CR LF.
    std::string ToText() const;
    // Writes the profile to its file (or to fileName) through a temporary file that
    // replaces the old one only when complete. Returns false when that fails; the
    // previous file is then left as it was. A symbolic link is followed and its
    // target replaced; the target keeps its owner, group and permissions (the
    // permissions only from a file of the user: another's give way to the user's
    // default, the umask). But a link in a folder that others may write to (group
    // or other write permission, or another owner) may have been planted: it is
    // never followed, and the link itself is replaced by the new file (refused
    // where the folder's sticky bit protects another user's link). A file the user may not write (read-only), or
    // one that is no regular file, is refused. A writable file in a folder the user
    // may not create files in is rewritten in place.
    bool UpdateFile();
    bool UpdateFile(const std::string& fileName);

private:
    struct Line {
        std::string text;    // the key followed by the value, or the raw text of a line without a key
        size_t keyLength{};  // 0 for a comment or blank line
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };
    // Where a name's section or a key's line is: open addressing over positions,
    // so that a lookup costs the same in a file of millions of lines and the index
    // adds a few bytes per line to the text it indexes.
    struct KeySlot {
        uint32_t section;
        uint32_t line;
    };
    static constexpr uint32_t Empty = UINT32_MAX;

    void Parse(const std::string& text);
    uint32_t FindSection(const std::string& section) const;
    uint32_t FindKey(uint32_t section, const std::string& key) const;
    const Line* FindLine(const std::string& section, const std::string& key) const;
    uint32_t FindOrAdd(const std::string& section);
    bool PlaceName(uint32_t section);
    void IndexSection(uint32_t section);
    void IndexKey(uint32_t section, uint32_t line);
    void Reindex();

    std::string fileName_;
    std::string loadError_;
    std::vector<Section> sections_;    // sections_[0] holds the lines before the first header
    std::vector<uint32_t> nameSlots_;  // the first section of each name (lookups never reach a later one)
    size_t namesUsed_{};
    std::vector<KeySlot> keySlots_;  // the first line of each key in those sections
    size_t keysUsed_{};
};
