#include "ZULIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>

#include "ZULFileIO.h"

namespace {

constexpr mode_t NewFileMode = 0644;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
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

std::string LowerAscii(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
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

// The replacement gets the owner, group and permissions of the file it replaces,
// as far as the user may give them, so that saving never changes who may read or
// write a settings file. The mode goes last: a change of owner clears set-id bits.
bool TakeOverAttributes(int fd, const struct stat* previous) {
    if (previous == nullptr) return ::fchmod(fd, NewFileMode) == 0;
    if (::fchown(fd, previous->st_uid, previous->st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), previous->st_gid);
    }
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

}  // namespace

ZULIniFile::ZULIniFile() {
    sections_.emplace_back();
}

ZULIniFile::ZULIniFile(std::string fileName) : fileName_(std::move(fileName)) {
    std::string text;
    if (ZULReadRegularFile(fileName_, MaxProfileSize, text)) {
        Parse(text);
    } else {
        sections_.emplace_back();
    }
}

void ZULIniFile::Parse(const std::string& text) {
    sections_.clear();
    sections_.emplace_back();
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = text.size();
        std::string line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        const std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            Section section;
            section.name =
                Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections_.push_back(std::move(section));
            continue;
        }
        Line entry;
        const size_t equals = line.find('=');
        if (!trimmed.empty() && trimmed[0] != ';' && equals != std::string::npos)
            entry.key = Trim(line.substr(0, equals));
        if (entry.key.empty()) {
            entry.value = std::move(line);
        } else {
            entry.value = Trim(line.substr(equals + 1));
        }
        sections_.back().lines.push_back(std::move(entry));
    }
    for (Section& section : sections_) Reindex(section);
}

void ZULIniFile::Reindex(Section& section) {
    section.index.clear();
    for (size_t i = 0; i < section.lines.size(); ++i) {
        if (!section.lines[i].key.empty()) section.index.emplace(LowerAscii(section.lines[i].key), i);
    }
}

// sections_[0] is the text before the first header: it has no name a caller can ask for.
const ZULIniFile::Section* ZULIniFile::Find(const std::string& section) const {
    for (size_t i = 1; i < sections_.size(); ++i) {
        if (EqualNoCase(sections_[i].name, section)) return &sections_[i];
    }
    return nullptr;
}

ZULIniFile::Section* ZULIniFile::Find(const std::string& section) {
    return const_cast<Section*>(std::as_const(*this).Find(section));
}

ZULIniFile::Section& ZULIniFile::FindOrAdd(const std::string& section) {
    if (Section* found = Find(section)) return *found;
    Section added;
    added.name = section;
    sections_.push_back(std::move(added));
    return sections_.back();
}

bool ZULIniFile::SectionExists(const std::string& section) const {
    return Find(section) != nullptr;
}

bool ZULIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const Section* found = Find(section);
    return found != nullptr && found->index.count(LowerAscii(key)) != 0;
}

void ZULIniFile::EraseSection(const std::string& section) {
    for (size_t i = sections_.size(); i-- > 1;) {
        if (EqualNoCase(sections_[i].name, section))
            sections_.erase(sections_.begin() + static_cast<ptrdiff_t>(i));
    }
}

std::string ZULIniFile::ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) const {
    const Section* found = Find(section);
    if (found == nullptr) return defaultValue;
    const auto entry = found->index.find(LowerAscii(key));
    return entry == found->index.end() ? defaultValue : found->lines[entry->second].value;
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
    Section& target = FindOrAdd(section);
    const std::string lowerKey = LowerAscii(key);
    const auto entry = target.index.find(lowerKey);
    if (entry != target.index.end()) {
        target.lines[entry->second].value = value;
        return;
    }
    // A new key goes after the last key of the section, so that the blank lines and
    // comments that end a section keep separating it from the next one. Only such
    // non-key lines move, and they are not in the index.
    size_t position = target.lines.size();
    while (position > 0 && target.lines[position - 1].key.empty()) --position;
    target.lines.insert(target.lines.begin() + static_cast<ptrdiff_t>(position), Line{key, value});
    target.index.emplace(lowerKey, position);
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
        if (i > 0) text += "[" + sections_[i].name + "]\r\n";
        for (const Line& line : sections_[i].lines) {
            if (!line.key.empty()) text += line.key + "=";
            text += line.value;
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
