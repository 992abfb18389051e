#pragma once
// A stream that writes into another with every '\n' as "\r\n": the messages of a
// program whose terminal is in raw mode, where a bare LF only moves down a line.
// Header-only; it belongs to the thread that writes to it.

#include <ostream>
#include <streambuf>

class ZCliCrLfBuffer : public std::streambuf {
public:
    explicit ZCliCrLfBuffer(std::ostream& target) : target_(target) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        if (traits_type::to_char_type(c) == '\n') target_.put('\r');
        target_.put(traits_type::to_char_type(c));
        return target_ ? c : traits_type::eof();
    }
    int sync() override {
        target_.flush();
        return target_ ? 0 : -1;
    }

private:
    std::ostream& target_;
};

// The buffer is a base before the stream, so that it is made before the stream uses it.
class ZCliCrLfStream : private ZCliCrLfBuffer, public std::ostream {
public:
    explicit ZCliCrLfStream(std::ostream& target)
        : ZCliCrLfBuffer(target), std::ostream(static_cast<ZCliCrLfBuffer*>(this)) {}
};
