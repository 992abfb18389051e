// A settings file as both programs load it: the profile file read from disk, the
// capture settings with their data triggers, and the port section. Whatever the
// file holds, loading ends, and what was loaded saves and loads back unchanged.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "FuzzPortConfig.h"
#include "SerialConfigText.h"
#include "ZLoggerSettings.h"
#include "ZULIniFile.h"

namespace {

// The bytes as a settings file in a private scratch folder (a /proc/self/fd name
// would not do: settings files are opened without following links).
class TScratchFile {
public:
    TScratchFile() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kestrun_fuzz_XXXXXX";
        Require(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        folder_ = pattern;
        path_ = folder_ + "/settings.scs";
    }
    ~TScratchFile() {
        unlink(path_.c_str());
        rmdir(folder_.c_str());
    }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;

    const std::string& Hold(const void* data, size_t size) {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        Require(fd >= 0, "the scratch file opens");
        const char* bytes = static_cast<const char*>(data);
        for (size_t done = 0; done < size;) {
            const ssize_t written = write(fd, bytes + done, size - done);
            Require(written > 0, "the scratch file takes the bytes");
            done += static_cast<size_t>(written);
        }
        close(fd);
        return path_;
    }

private:
    std::string folder_;
    std::string path_;
};


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScratchFile file;
    const ZULIniFile ini(file.Hold(data, size));

    const TSerialConfig port =
        SerialConfigFromText(ini.ReadString("_serial_capture", "_settings", ""), FuzzDefaultPortConfig());
    if (port.Valid) (void)SerialConfigToText(port);

    ZLoggerSettings settings;
    std::string refusal;
    (void)ZLoggerSettings::CheckIni(ini, refusal);
    settings.ReadFromIni(ini);

    // Saved into a profile and loaded back, in memory and through the file text.
    ZULIniFile saved;
    settings.WriteToIni(saved);
    ZLoggerSettings again;
    again.ReadFromIni(saved);
    Require(again == settings, "settings written to a profile read back unchanged");

    const std::string text = saved.ToText();
    const ZULIniFile reread(file.Hold(text.data(), text.size()));
    ZLoggerSettings fromText;
    fromText.ReadFromIni(reread);
    Require(fromText == settings, "settings saved as text load back unchanged");

    // The profile's own text form is stable once written.
    const std::string first = ini.ToText();
    const ZULIniFile firstAgain(file.Hold(first.data(), first.size()));
    Require(firstAgain.ToText() == first, "a profile's text reads back to the same text");
    return 0;
}
