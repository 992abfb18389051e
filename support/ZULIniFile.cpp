#include "ZULIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "Funset_strings.h"
#include "ZULFileIO.h"
#include "ZULText.h"

namespace {

constexpr mode_t NewFileMode = 0644;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// Names are compared by ASCII letters only: bytes from 128 up are never folded,
// whatever the locale says about them.
char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ParseInt32(const std::string& text, int32_t& result) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    if (i == text.size()) return false;
    // Accumulated as a negative number, whose range holds the one more value of int32.
    constexpr int64_t Limit = -static_cast<int64_t>(std::numeric_limits<int32_t>::min());
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > Limit) return false;
    }
    if (!negative && magnitude == Limit) return false;
    result = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

// A settings file is a few kilobytes; anything near this is no settings file, and
// reading it whole could exhaust the memory.
constexpr size_t MaxProfileSize = 16 * 1024 * 1024;

std::string FolderOf(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? std::string(".") : fileName.substr(0, slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// A folder where someone else may create, rename or remove names: its group or
// others may write to it, or it belongs to another user (root aside). A link found
// in such a folder may have been planted there.
bool OthersMayWrite(const std::string& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return true;
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
           (status.st_uid != ::geteuid() && status.st_uid != 0);
}

// The file a name stands for: symbolic links followed, so that saving through a
// link replaces its target and keeps the link. A dangling link gives the missing
// target. A link in a folder others may write is not followed: the link itself is
// the file, and saving replaces it, never what it points to. False for a loop.
bool ResolveLinks(const std::string& fileName, std::string& target) {
    constexpr int MaxHops = 40;
    std::string current = fileName;
    for (int hop = 0; hop < MaxHops; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode) ||
            OthersMayWrite(FolderOf(current))) {
            target = current;
            return true;
        }
        std::string link(static_cast<size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length < 0 || static_cast<size_t>(length) >= link.size()) return false;
        link.resize(static_cast<size_t>(length));
        current = (!link.empty() && link[0] == '/') ? link : FolderOf(current) + link;
    }
    return false;
}

// A file whose write permissions are all off is read-only for everyone, root
// included; otherwise the user must be allowed to open it for writing.
bool MayWrite(const std::string& fileName, const struct stat& status) {
    if ((status.st_mode & 0222) == 0) return false;
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The process's umask, read without changing it (umask() would, for every thread).
mode_t CurrentUmask() {
    std::string status;
    if (ZULReadRegularFile("/proc/self/status", 1 << 16, status)) {
        const size_t at = status.find("\nUmask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8));
    }
    return 022;
}

// The replacement gets the owner, group and permissions of the file it replaces,
// as far as the user may give them, so that saving never changes who may read or
// write a settings file. The mode goes last: a change of owner clears set-id bits.
bool TakeOverAttributes(int fd, const struct stat* previous) {
    if (previous == nullptr) return ::fchmod(fd, NewFileMode) == 0;
    if (::fchown(fd, previous->st_uid, previous->st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), previous->st_gid);
    }
    // Another user's permissions (a file anyone may write, say) are that user's
    // choice, not ours: our file gets what we give new files.
    if (previous->st_uid != ::geteuid()) return ::fchmod(fd, 0666 & ~CurrentUmask()) == 0;
    return ::fchmod(fd, previous->st_mode & 07777) == 0;
}

bool WriteAndSync(int fd, const std::string& text) {
    bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    // close is checked too: some file systems report a failed write only there.
    return (::close(fd) == 0) && written;
}

// Without the rename's protection: for a writable file in a folder the user may
// not create files in.
bool RewriteInPlace(const std::string& fileName, const std::string& text) {
    const int fd = ::open(fileName.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    return WriteAndSync(fd, text);
}

// Makes the rename itself durable; a failure here loses nothing that is not
// already on disk under one name or the other, so it is not reported.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// FNV-1a over the ASCII-folded name, so that names that compare equal hash alike.
uint64_t HashName(const char* name, size_t length, uint64_t seed) {
    uint64_t hash = 14695981039346656037ull ^ (seed * 0x9E3779B97F4A7C15ull);
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(LowerAscii(name[i]));
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

bool EqualNoCase(const char* a, size_t aLength, const std::string& b) {
    if (aLength != b.size()) return false;
    for (size_t i = 0; i < aLength; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// Slots for count entries at most three quarters full; a power of two, so a
// hash is reduced by a mask.
size_t SlotsFor(size_t count) {
    size_t slots = 16;
    while (slots / 4 * 3 < count + 1) slots *= 2;
    return slots;
}

}  // namespace

ZULIniFile::ZULIniFile() {
    sections_.emplace_back();
    Reindex();
}

ZULIniFile::ZULIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::string text;
    if (ZULReadRegularFile(fileName_, MaxProfileSize, text)) {
        Parse(text);
        return;
    }
    const int error = errno;
    sections_.emplace_back();
    Reindex();
    switch (error) {
        case EINVAL: {
            const std::string kind = ZULFileKindText(fileName_);
            loadError_ =
                ZULFormat(ZUL_TEXT("IniFile", "is %1"),
                          {kind.empty() ? ZULFormat(ZUL_TEXT("IniFile", "not a regular file")) : kind});
            break;
        }
        case ELOOP:
            loadError_ = ZULFormat(ZUL_TEXT("IniFile", "is a symbolic link"));
            break;
        case EFBIG:
            loadError_ = ZULFormat(ZUL_TEXT("IniFile", "is larger than 16 MB"));
            break;
        default:
            loadError_ = ZULFormat(ZUL_TEXT("IniFile", "cannot be read (%1)"), {GetErrorText(error)});
    }
}

void ZULIniFile::Parse(const std::string& text) {
    sections_.clear();
    sections_.emplace_back();
    // Views into the text: a line costs one allocation at most, for what is kept of it.
    const std::string_view all(text);
    size_t lineStart = 0;
    while (lineStart < all.size()) {
        size_t lineEnd = all.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = all.size();
        std::string_view line = all.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const std::string_view trimmed = TrimView(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            Section section;
            section.name = TrimView(trimmed.substr(1, close == std::string_view::npos ? close : close - 1));
            sections_.push_back(std::move(section));
            continue;
        }
        Line entry;
        const size_t equals = line.find('=');
        std::string_view key;
        if (!trimmed.empty() && trimmed[0] != ';' && equals != std::string_view::npos)
            key = TrimView(line.substr(0, equals));
        if (key.empty()) {
            entry.text = line;
        } else {
            const std::string_view value = TrimView(line.substr(equals + 1));
            entry.keyLength = key.size();
            entry.text.reserve(key.size() + value.size());
            entry.text.append(key).append(value);
        }
        sections_.back().lines.push_back(std::move(entry));
    }
    Reindex();
}

void ZULIniFile::Reindex() {
    namesUsed_ = 0;
    keysUsed_ = 0;
    nameSlots_.assign(SlotsFor(sections_.size()), Empty);
    size_t keys = 0;
    for (const Section& section : sections_) keys += section.lines.size();
    keySlots_.assign(SlotsFor(keys), KeySlot{Empty, Empty});
    // sections_[0] is the text before the first header: it has no name a caller can ask for.
    for (uint32_t i = 1; i < sections_.size(); ++i) IndexSection(i);
}

bool ZULIniFile::PlaceName(uint32_t section) {
    const std::string& name = sections_[section].name;
    const size_t mask = nameSlots_.size() - 1;
    for (size_t slot = HashName(name.data(), name.size(), 0) & mask;; slot = (slot + 1) & mask) {
        if (nameSlots_[slot] == Empty) {
            nameSlots_[slot] = section;
            ++namesUsed_;
            return true;
        }
        const std::string& held = sections_[nameSlots_[slot]].name;
        if (EqualNoCase(held.data(), held.size(), name)) return false;
    }
}

void ZULIniFile::IndexSection(uint32_t section) {
    if (namesUsed_ + 1 > nameSlots_.size() / 4 * 3) {
        std::vector<uint32_t> old(SlotsFor(namesUsed_ * 2), Empty);
        old.swap(nameSlots_);
        namesUsed_ = 0;
        for (uint32_t entry : old) {
            if (entry != Empty) PlaceName(entry);
        }
    }
    // A later section of a name already known is never read: its keys stay unindexed.
    if (!PlaceName(section)) return;
    const std::vector<Line>& lines = sections_[section].lines;
    for (uint32_t line = 0; line < lines.size(); ++line) {
        if (lines[line].keyLength != 0) IndexKey(section, line);
    }
}

void ZULIniFile::IndexKey(uint32_t section, uint32_t line) {
    if (keysUsed_ + 1 > keySlots_.size() / 4 * 3) {
        std::vector<KeySlot> old(SlotsFor(keysUsed_ * 2), KeySlot{Empty, Empty});
        old.swap(keySlots_);
        keysUsed_ = 0;
        for (const KeySlot& entry : old) {
            if (entry.section != Empty) IndexKey(entry.section, entry.line);
        }
    }
    const Line& added = sections_[section].lines[line];
    const size_t mask = keySlots_.size() - 1;
    for (size_t slot = HashName(added.text.data(), added.keyLength, section) & mask;;
         slot = (slot + 1) & mask) {
        KeySlot& entry = keySlots_[slot];
        if (entry.section == Empty) {
            entry = KeySlot{section, line};
            ++keysUsed_;
            return;
        }
        if (entry.section != section) continue;
        const Line& held = sections_[section].lines[entry.line];
        if (EqualNoCase(held.text.data(), held.keyLength, std::string(added.text, 0, added.keyLength)))
            return;
    }
}

uint32_t ZULIniFile::FindSection(const std::string& section) const {
    const size_t mask = nameSlots_.size() - 1;
    for (size_t slot = HashName(section.data(), section.size(), 0) & mask; nameSlots_[slot] != Empty;
         slot = (slot + 1) & mask) {
        const std::string& name = sections_[nameSlots_[slot]].name;
        if (EqualNoCase(name.data(), name.size(), section)) return nameSlots_[slot];
    }
    return Empty;
}

uint32_t ZULIniFile::FindKey(uint32_t section, const std::string& key) const {
    const size_t mask = keySlots_.size() - 1;
    for (size_t slot = HashName(key.data(), key.size(), section) & mask; keySlots_[slot].section != Empty;
         slot = (slot + 1) & mask) {
        const KeySlot& entry = keySlots_[slot];
        if (entry.section != section) continue;
        const Line& line = sections_[section].lines[entry.line];
        if (EqualNoCase(line.text.data(), line.keyLength, key)) return entry.line;
    }
    return Empty;
}

const ZULIniFile::Line* ZULIniFile::FindLine(const std::string& section, const std::string& key) const {
    const uint32_t found = FindSection(section);
    if (found == Empty || key.empty()) return nullptr;
    const uint32_t line = FindKey(found, key);
    return line == Empty ? nullptr : &sections_[found].lines[line];
}

uint32_t ZULIniFile::FindOrAdd(const std::string& section) {
    const uint32_t found = FindSection(section);
    if (found != Empty) return found;
    Section added;
    added.name = section;
    sections_.push_back(std::move(added));
    const auto index = static_cast<uint32_t>(sections_.size() - 1);
    IndexSection(index);
    return index;
}

bool ZULIniFile::SectionExists(const std::string& section) const {
    return FindSection(section) != Empty;
}

bool ZULIniFile::ValueExists(const std::string& section, const std::string& key) const {
    return FindLine(section, key) != nullptr;
}

void ZULIniFile::EraseSection(const std::string& section) {
    const size_t before = sections_.size();
    for (size_t i = sections_.size(); i-- > 1;) {
        if (EqualNoCase(sections_[i].name.data(), sections_[i].name.size(), section))
            sections_.erase(sections_.begin() + static_cast<ptrdiff_t>(i));
    }
    // Every later section moved: the index is made anew.
    if (sections_.size() != before) Reindex();
}

std::string ZULIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
    const Line* found = FindLine(section, key);
    return found == nullptr ? defaultValue : found->text.substr(found->keyLength);
}

int32_t ZULIniFile::ReadInteger(const std::string& section, const std::string& key,
                                int32_t defaultValue) const {
    int32_t value = 0;
    return ParseInt32(Trim(ReadString(section, key, std::string())), value) ? value : defaultValue;
}

bool ZULIniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ZULIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const uint32_t index = FindOrAdd(section);
    Section& target = sections_[index];
    const uint32_t existing = key.empty() ? Empty : FindKey(index, key);
    if (existing != Empty) {
        Line& line = target.lines[existing];
        line.text.replace(line.keyLength, std::string::npos, value);
        return;
    }
    // A new key goes after the last key of the section, so that the blank lines and
    // comments that end a section keep separating it from the next one. Only such
    // non-key lines move, and they are not in the index.
    size_t position = target.lines.size();
    while (position > 0 && target.lines[position - 1].keyLength == 0) --position;
    target.lines.insert(target.lines.begin() + static_cast<ptrdiff_t>(position),
                        Line{key + value, key.size()});
    if (!key.empty()) IndexKey(index, static_cast<uint32_t>(position));
}

void ZULIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void ZULIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

std::string ZULIniFile::ToText() const {
    std::string text;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) text.append("[").append(sections_[i].name).append("]\r\n");
        for (const Line& line : sections_[i].lines) {
            text.append(line.text, 0, line.keyLength);
            if (line.keyLength != 0) text += '=';
            text.append(line.text, line.keyLength, std::string::npos);
            text += "\r\n";
        }
    }
    return text;
}

bool ZULIniFile::UpdateFile() {
    return UpdateFile(fileName_);
}

bool ZULIniFile::UpdateFile(const std::string& fileName) {
    if (fileName.empty()) return false;
    std::string target;
    if (!ResolveLinks(fileName, target)) return false;
    struct stat previous {};
    // A link here is one that is not to be followed: it is replaced by a new file.
    const bool isLink = ::lstat(target.c_str(), &previous) == 0 && S_ISLNK(previous.st_mode);
    const bool exists = !isLink && ::lstat(target.c_str(), &previous) == 0;
    if (exists && (!S_ISREG(previous.st_mode) || !MayWrite(target, previous))) return false;
    const std::string text = ToText();
    std::string tempName = target + ".XXXXXX";
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) {
        const bool folderClosed = errno == EACCES || errno == EPERM;
        if (!exists || !folderClosed || !RewriteInPlace(target, text)) return false;
        fileName_ = fileName;
        return true;
    }
    const bool attributesKept = TakeOverAttributes(fd, exists ? &previous : nullptr);
    const bool written = WriteAndSync(fd, text) && attributesKept;
    if (!written || ::rename(tempName.c_str(), target.c_str()) != 0) {
        ::unlink(tempName.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    fileName_ = fileName;
    return true;
}
