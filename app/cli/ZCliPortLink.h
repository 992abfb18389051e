#pragma once
// An override link <application directory>/ports/com<N> that makes a device
// reachable as COM N. The link is replaced atomically when a stale one is there
// and removed again on destruction, unless someone else has pointed it elsewhere
// meanwhile.

#include <string>

class ZCliPortLink {
public:
    ZCliPortLink() = default;
    ~ZCliPortLink() { Remove(); }
    ZCliPortLink(const ZCliPortLink&) = delete;
    ZCliPortLink& operator=(const ZCliPortLink&) = delete;

    // Creates the ports folder if needed and the link to target. Something at the
    // link's place that is not a link is left alone and refused. False with the
    // reason in errorText.
    bool Create(int port, const std::string& target, std::string& errorText);
    void Remove();
    const std::string& Path() const { return path_; }

    // <application directory>/ports/com<N>
    static std::string LinkPath(int port);

private:
    std::string path_;
    std::string target_;
};
