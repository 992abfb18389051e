#pragma once
// Reads a mailto: URI back into its fields, strictly, the way a composer would: a test
// compares what arrives with what was sent, byte for byte.

#include <string>
#include <utility>
#include <vector>

// "%41" as "A"; a malformed escape is kept as it stands, so that a comparison shows it.
inline std::string PercentDecoded(const std::string& text) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The fields after "mailto:<to>?" in order, names as they stand, values decoded; the
// recipients of the path come first under the name "path".
inline std::vector<std::pair<std::string, std::string>> MailtoFields(const std::string& uri) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (uri.rfind("mailto:", 0) != 0) return fields;
    const size_t query = uri.find('?');
    const std::string path = uri.substr(7, query == std::string::npos ? std::string::npos : query - 7);
    if (!path.empty()) fields.emplace_back("path", PercentDecoded(path));
    if (query == std::string::npos) return fields;
    size_t start = query + 1;
    while (start <= uri.size()) {
        size_t end = uri.find('&', start);
        if (end == std::string::npos) end = uri.size();
        const std::string field = uri.substr(start, end - start);
        const size_t equals = field.find('=');
        fields.emplace_back(field.substr(0, equals),
                            equals == std::string::npos ? "" : PercentDecoded(field.substr(equals + 1)));
        start = end + 1;
    }
    return fields;
}

// The decoded value of the only field of that name; "<none>" or "<several>" otherwise.
inline std::string MailtoField(const std::string& uri, const std::string& name) {
    std::string value = "<none>";
    for (const auto& [key, text] : MailtoFields(uri)) {
        if (key != name) continue;
        if (value != "<none>") return "<several>";
        value = text;
    }
    return value;
}
