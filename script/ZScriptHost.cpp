#include "ZScriptHost.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "Funset_strings.h"
#include "SerialTypes.h"
#include "TriggerSequence.h"
#include "ZChecksum.h"
#include "ZFrameCodec.h"
#include "ZSendSequence.h"
#include "ZULFileIO.h"
#include "lua.hpp"

namespace {

constexpr size_t MaxScriptBytes = size_t{16} << 20;
// Instructions between two looks at the clock and the stop flag.
constexpr int HookInstructions = 1000;
// The message of the error that unwinds the script for exit() and Stop; never shown.
constexpr const char* UnwindMessage = "kestrun: the script ends";

}  // namespace

struct ZScriptHost::State {
    using Clock = ZScriptLimits::Clock;

    ZScriptFrameQueue& Queue;
    IZScriptTarget& Target;
    const ZScriptLimits& Limits;
    const ZScriptHost::PrintFn& Print;
    const std::atomic<bool>& StopRequested;
    ZScriptHost& Host;
    size_t Used = 0;
    bool OverMemory = false;
    Clock::time_point LastApi;
    int Handler = LUA_NOREF;  // on_frame's function in the registry
    bool InHandler = false;
    bool Unwinding = false;  // exit() or Stop: the error that unwinds is no failure

    explicit State(ZScriptHost& host)
        : Queue(host.queue_),
          Target(host.target_),
          Limits(host.limits_),
          Print(host.print_),
          StopRequested(host.stopRequested_),
          Host(host),
          LastApi(host.limits_.Now()) {}
    static State& Of(lua_State* L) { return **static_cast<State**>(lua_getextraspace(L)); }
    bool Replay() const { return !Target.HasPort(); }
    void Touch() { LastApi = Limits.Now(); }
    void SetExit(int code) {
        std::lock_guard guard(Host.lock_);
        Host.exitCode_ = code;
        Host.exited_ = true;
    }
};

namespace {

using State = ZScriptHost::State;
using Clock = State::Clock;

[[noreturn]] void Unwind(lua_State* L) {
    State::Of(L).Unwinding = true;
    lua_pushstring(L, UnwindMessage);
    lua_error(L);
    std::abort();  // lua_error does not return
}

// Every API function marks the time it was called and returned: the no-yield limit
// counts only the script's own work.
class ApiCall {
public:
    // A script that caught the end of exit() or a stop ends at its next call.
    explicit ApiCall(lua_State* L) : state_(State::Of(L)) {
        if (state_.Unwinding || state_.StopRequested.load()) Unwind(L);
        state_.Touch();
    }
    ~ApiCall() { state_.Touch(); }
    ApiCall(const ApiCall&) = delete;
    ApiCall& operator=(const ApiCall&) = delete;
    State& state() { return state_; }

private:
    State& state_;
};

void* Allocate(void* ud, void* block, size_t oldSize, size_t newSize) {
    auto& state = *static_cast<State*>(ud);
    const size_t old = block == nullptr ? 0 : oldSize;
    if (newSize == 0) {
        state.Used -= old;
        std::free(block);
        return nullptr;
    }
    if (newSize > old && state.Used - old + newSize > state.Limits.MemoryBytes) {
        state.OverMemory = true;
        return nullptr;
    }
    void* grown = std::realloc(block, newSize);
    if (grown != nullptr) state.Used = state.Used - old + newSize;
    return grown;
}

std::string Seconds(std::chrono::milliseconds limit) {
    std::ostringstream text;
    text << static_cast<double>(limit.count()) / 1000.0;
    return text.str();
}

void Hook(lua_State* L, lua_Debug*) {
    State& state = State::Of(L);
    if (state.StopRequested.load() || state.Unwinding) Unwind(L);
    if (state.Limits.Now() - state.LastApi >= state.Limits.NoYield) {
        // Level 0 is the running Lua function: its line is where the script was.
        luaL_where(L, 0);
        lua_pushfstring(L, "the script did not yield for %s s", Seconds(state.Limits.NoYield).c_str());
        lua_concat(L, 2);
        lua_error(L);
    }
}

std::string ToString(lua_State* L, int index) {
    size_t length = 0;
    const char* text = lua_tolstring(L, index, &length);
    return text == nullptr ? std::string() : std::string(text, length);
}

std::string CheckBytes(lua_State* L, int index) {
    size_t length = 0;
    const char* text = luaL_checklstring(L, index, &length);
    return std::string(text, length);
}

// After a wait that Stop or an overrun ended.
void RaiseForQueue(lua_State* L, ZScriptFrameQueue::Take take) {
    if (take == ZScriptFrameQueue::Take::Overrun) {
        luaL_error(L, "more than %d frames waited for the script; it ends so that none is lost unseen",
                   static_cast<int>(ZScriptFrameQueue::MaxFrames));
    }
    Unwind(L);
}

void PushFrame(lua_State* L, const ZScriptFrame& frame) {
    lua_createtable(L, 0, 8);
    lua_pushlstring(L, frame.Bytes.data(), frame.Bytes.size());
    lua_setfield(L, -2, "bytes");
    lua_pushlstring(L, frame.Bytes.data() + frame.DataOffset, frame.DataLength);
    lua_setfield(L, -2, "data");
    const std::string hex =
        BytesToHex(reinterpret_cast<const uint8_t*>(frame.Bytes.data()), static_cast<int>(frame.Bytes.size()));
    lua_pushlstring(L, hex.data(), hex.size());
    lua_setfield(L, -2, "hex");
    lua_pushnumber(L, static_cast<double>(frame.TimeUs) / 1e6);
    lua_setfield(L, -2, "time");
    if (frame.Verdict == fvGood || frame.Verdict == fvBad) {
        lua_pushstring(L, frame.Verdict == fvGood ? "good" : "bad");
        lua_setfield(L, -2, "checksum");
    }
    // With one line there is no line to tell, and both stay nil.
    if (frame.Line >= 0) {
        lua_pushinteger(L, frame.Line);
        lua_setfield(L, -2, "line");
        lua_pushlstring(L, frame.LineName.data(), frame.LineName.size());
        lua_setfield(L, -2, "line_name");
    }
    const ZFieldValues& fields = frame.Fields;
    lua_createtable(L, 0, fields.PresentCount());
    for (int i = 0; i < fields.Count(); ++i) {
        if (!fields.Has(i)) continue;
        // A whole value reads as an integer (257, not 257.0) when printed.
        const double value = fields.Get(i);
        if (std::floor(value) == value && std::fabs(value) < 9.0e15)
            lua_pushinteger(L, static_cast<lua_Integer>(value));
        else
            lua_pushnumber(L, value);
        lua_setfield(L, -2, fields.Name(i).c_str());
    }
    lua_setfield(L, -2, "fields");
}

// The deadline of a wait of the argument's milliseconds; a replay takes the next
// frames of its recording whatever the wait.
Clock::time_point Deadline(lua_State* L, int index, bool replay) {
    const lua_Integer ms = luaL_checkinteger(L, index);
    luaL_argcheck(L, ms >= 0, index, "the time in ms must not be negative");
    if (replay) return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(ms);
}

// HEX pairs and "??" (any byte), blanks anywhere, as the Send page reads HEX.
TTriggerSequence CheckPattern(lua_State* L, const std::string& text) {
    TTriggerSequence pattern;
    int high = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t') continue;
        if (c == '?' && high < 0 && i + 1 < text.size() && text[i + 1] == '?') {
            pattern.push_back(AnyByte);
            ++i;
            continue;
        }
        const int value = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (value < 0)
            luaL_error(L, "expect: \"%c\" at position %d is not a HEX digit (0-9, A-F) or \"??\".", c,
                       static_cast<int>(i + 1));
        if (high < 0) {
            high = value;
        } else {
            pattern.push_back(high << 4 | value);
            high = -1;
        }
    }
    if (high >= 0) luaL_error(L, "expect: odd number of HEX digits: every byte takes two.");
    return pattern;
}

bool Matches(lua_State* L, int matchIndex, const TTriggerSequence& pattern, const ZScriptFrame& frame) {
    if (lua_isfunction(L, matchIndex)) {
        lua_pushvalue(L, matchIndex);
        PushFrame(L, frame);
        lua_call(L, 1, 1);
        const bool matched = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        return matched;
    }
    return frame.Bytes.size() >= pattern.size() &&
           MatchAt(reinterpret_cast<const uint8_t*>(frame.Bytes.data()), pattern.data(),
                   static_cast<int>(pattern.size()));
}

// Takes frames until one matches (none given: the first); pushes it or nil.
int TakeFrame(lua_State* L, int matchIndex, int timeoutIndex) {
    ApiCall call(L);
    State& state = call.state();
    TTriggerSequence pattern;
    if (matchIndex != 0 && !lua_isfunction(L, matchIndex)) pattern = CheckPattern(L, CheckBytes(L, matchIndex));
    const Clock::time_point deadline = Deadline(L, timeoutIndex, state.Replay());
    ZScriptFrame frame;
    for (;;) {
        const ZScriptFrameQueue::Take take = state.Queue.Pop(frame, deadline);
        if (take == ZScriptFrameQueue::Take::Timeout || take == ZScriptFrameQueue::Take::Ended) {
            lua_pushnil(L);
            return 1;
        }
        if (take != ZScriptFrameQueue::Take::Frame) RaiseForQueue(L, take);
        if (matchIndex == 0 || Matches(L, matchIndex, pattern, frame)) {
            PushFrame(L, frame);
            return 1;
        }
    }
}

int ApiExpect(lua_State* L) {
    luaL_argexpected(L, lua_isfunction(L, 1) || lua_type(L, 1) == LUA_TSTRING, 1, "HEX text or function");
    return TakeFrame(L, 1, 2);
}

int ApiReadFrame(lua_State* L) {
    return TakeFrame(L, 0, 1);
}

void CheckPort(lua_State* L, const char* function) {
    if (!State::Of(L).Target.HasPort())
        luaL_error(L, "%s is not possible in a replay: a recording has no port", function);
}

std::string OptionalText(lua_State* L, int table, const char* key) {
    lua_getfield(L, table, key);
    std::string text;
    if (!lua_isnil(L, -1)) {
        if (lua_type(L, -1) != LUA_TSTRING && lua_type(L, -1) != LUA_TNUMBER)
            luaL_error(L, "send: the option %s must be a text", key);
        text = ToString(L, -1);
    }
    lua_pop(L, 1);
    return text;
}

ZSendSequence CheckSendSequence(lua_State* L) {
    ZSendSequence sequence;
    const std::string data = CheckBytes(L, 1);
    sequence.Data.assign(data.begin(), data.end());
    if (lua_isnoneornil(L, 2)) return sequence;
    luaL_checktype(L, 2, LUA_TTABLE);
    if (const std::string name = OptionalText(L, 2, "checksum"); !name.empty()) {
        sequence.Checksum = ZChecksum::FromName(name);
        if (sequence.Checksum < 0) luaL_error(L, "send: unknown checksum \"%s\"", name.c_str());
    }
    const std::string order = OptionalText(L, 2, "order");
    if (!order.empty() && order != "lsb" && order != "msb")
        luaL_error(L, "send: order must be \"lsb\" or \"msb\", not \"%s\"", order.c_str());
    sequence.ChecksumLSBFirst =
        order.empty() ? ZSendSequence::DefaultLSBFirst(sequence.Checksum) : order == "lsb";
    const std::string lineEnd = OptionalText(L, 2, "line_end");
    const std::string encode = OptionalText(L, 2, "encode");
    if (!lineEnd.empty() && !encode.empty()) luaL_error(L, "send: line_end and encode exclude each other");
    if (!lineEnd.empty()) {
        sequence.LineEnd = SendLineEndFromName(lineEnd);
        if (sequence.LineEnd < 0)
            luaL_error(L, "send: line_end must be \"cr\", \"lf\" or \"crlf\", not \"%s\"", lineEnd.c_str());
    }
    if (!encode.empty()) {
        sequence.Encode = ZFrameEncodingFromName(encode.c_str());
        if (sequence.Encode <= feNone)
            luaL_error(L, "send: encode must be \"slip\" or \"cobs\", not \"%s\"", encode.c_str());
    }
    return sequence;
}

int ApiSend(lua_State* L) {
    ApiCall call(L);
    CheckPort(L, "send");
    const std::vector<uint8_t> bytes = CheckSendSequence(L).BuildBytes();
    if (bytes.size() > MaxSendBytes)
        luaL_error(L, "send: %d bytes are too many to send (at most %d)", static_cast<int>(bytes.size()),
                   static_cast<int>(MaxSendBytes));
    State& state = call.state();
    // The answer to this send is what the next expect looks for; an on_frame handler sees every frame.
    if (state.Handler == LUA_NOREF) state.Queue.Discard();
    std::string error;
    if (!state.Target.Send(bytes, error)) luaL_error(L, "send: %s", error.c_str());
    return 0;
}

int ApiHex(lua_State* L) {
    ApiCall call(L);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ParseSendHex(CheckBytes(L, 1), bytes, error)) luaL_error(L, "hex: %s", error.c_str());
    lua_pushlstring(L, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return 1;
}

int ApiToHex(lua_State* L) {
    ApiCall call(L);
    const std::string bytes = CheckBytes(L, 1);
    const std::string hex = BytesToHex(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    lua_pushlstring(L, hex.data(), hex.size());
    return 1;
}

int ApiOnFrame(lua_State* L) {
    ApiCall call(L);
    State& state = call.state();
    if (!lua_isnil(L, 1)) luaL_checktype(L, 1, LUA_TFUNCTION);
    luaL_unref(L, LUA_REGISTRYINDEX, state.Handler);
    state.Handler = LUA_NOREF;
    if (lua_isfunction(L, 1)) {
        lua_settop(L, 1);
        state.Handler = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    return 0;
}

// Hands one frame to the on_frame handler; the handler's errors are the script's.
void CallHandler(lua_State* L, const ZScriptFrame& frame) {
    State& state = State::Of(L);
    lua_rawgeti(L, LUA_REGISTRYINDEX, state.Handler);
    PushFrame(L, frame);
    state.InHandler = true;
    state.Touch();
    lua_call(L, 1, 0);
    state.InHandler = false;
    state.Touch();
}

// The handler protected by the run loop's lua_pcall: a frame, or null for an overrun.
int RunHandler(lua_State* L) {
    const auto* frame = static_cast<const ZScriptFrame*>(lua_touserdata(L, 1));
    if (frame == nullptr) RaiseForQueue(L, ZScriptFrameQueue::Take::Overrun);
    CallHandler(L, *frame);
    return 0;
}

int ApiSleep(lua_State* L) {
    ApiCall call(L);
    State& state = call.state();
    const lua_Integer ms = luaL_checkinteger(L, 1);
    luaL_argcheck(L, ms >= 0, 1, "the time in ms must not be negative");
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    ZScriptFrameQueue& queue = state.Queue;
    // A main chunk that sleeps lets its on_frame handler see the frames meanwhile.
    while (state.Handler != LUA_NOREF && !state.InHandler) {
        ZScriptFrame frame;
        const ZScriptFrameQueue::Take take = queue.Pop(frame, deadline);
        if (take == ZScriptFrameQueue::Take::Timeout) return 0;
        if (take == ZScriptFrameQueue::Take::Ended) break;
        if (take != ZScriptFrameQueue::Take::Frame) RaiseForQueue(L, take);
        CallHandler(L, frame);
    }
    if (queue.WaitForStop(deadline)) Unwind(L);
    return 0;
}

int ApiNow(lua_State* L) {
    ApiCall call(L);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    lua_pushnumber(L, static_cast<double>(us.count()) / 1e6);
    return 1;
}

int SetLine(lua_State* L, const char* function, uint32_t on, uint32_t off) {
    ApiCall call(L);
    CheckPort(L, function);
    luaL_checkany(L, 1);
    std::string error;
    if (!call.state().Target.SetOutputLine(lua_toboolean(L, 1) != 0 ? on : off, error))
        luaL_error(L, "%s: %s", function, error.c_str());
    return 0;
}

int ApiSetDtr(lua_State* L) {
    return SetLine(L, "set_dtr", SETDTR, CLRDTR);
}

int ApiSetRts(lua_State* L) {
    return SetLine(L, "set_rts", SETRTS, CLRRTS);
}

int ApiSendBreak(lua_State* L) {
    ApiCall call(L);
    CheckPort(L, "send_break");
    const lua_Integer ms = luaL_checkinteger(L, 1);
    luaL_argcheck(L, ms >= 0, 1, "the time in ms must not be negative");
    IZScriptTarget& target = call.state().Target;
    std::string error;
    if (!target.SetOutputLine(SETBREAK, error)) luaL_error(L, "send_break: %s", error.c_str());
    const bool stopped = call.state().Queue.WaitForStop(Clock::now() + std::chrono::milliseconds(ms));
    // The line never stays in break, even when the script is stopped meanwhile.
    const bool cleared = target.SetOutputLine(CLRBREAK, error);
    if (stopped) Unwind(L);
    if (!cleared) luaL_error(L, "send_break: %s", error.c_str());
    return 0;
}

int ApiLog(lua_State* L) {
    ApiCall call(L);
    size_t length = 0;
    const char* text = luaL_tolstring(L, 1, &length);
    call.state().Target.Log(std::string(text, length));
    return 0;
}

int ApiPrint(lua_State* L) {
    ApiCall call(L);
    const int count = lua_gettop(L);
    std::string line;
    for (int i = 1; i <= count; ++i) {
        size_t length = 0;
        const char* text = luaL_tolstring(L, i, &length);
        if (i > 1) line += '\t';
        line.append(text, length);
        lua_pop(L, 1);
    }
    line += '\n';
    call.state().Print(line);
    return 0;
}

int ApiExit(lua_State* L) {
    ApiCall call(L);
    const lua_Integer code = luaL_optinteger(L, 1, 0);
    luaL_argcheck(L, code >= 0 && code <= 255, 1, "an exit code is 0 to 255");
    call.state().SetExit(static_cast<int>(code));
    Unwind(L);
}

// load() of text only: a binary chunk could break out of the sandbox.
int SafeLoad(lua_State* L) {
    if (lua_gettop(L) < 3) lua_settop(L, 3);
    lua_pushliteral(L, "t");
    lua_replace(L, 3);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

void OpenSafeLibraries(lua_State* L) {
    luaL_requiref(L, LUA_GNAME, luaopen_base, 1);
    lua_pop(L, 1);
    for (const char* name : {"dofile", "loadfile", "require"}) {
        lua_pushnil(L);
        lua_setglobal(L, name);
    }
    lua_getglobal(L, "load");
    lua_pushcclosure(L, SafeLoad, 1);
    lua_setglobal(L, "load");
    luaL_requiref(L, LUA_STRLIBNAME, luaopen_string, 1);
    luaL_requiref(L, LUA_TABLIBNAME, luaopen_table, 1);
    luaL_requiref(L, LUA_MATHLIBNAME, luaopen_math, 1);
    luaL_requiref(L, LUA_UTF8LIBNAME, luaopen_utf8, 1);
    lua_pop(L, 4);
    // os with its clock functions only: no execute, remove, rename, getenv or exit.
    luaopen_os(L);
    lua_createtable(L, 0, 3);
    for (const char* name : {"time", "clock", "date"}) {
        lua_getfield(L, -2, name);
        lua_setfield(L, -2, name);
    }
    lua_setglobal(L, "os");
    lua_pop(L, 1);
}

void RegisterApi(lua_State* L) {
    static const luaL_Reg api[] = {
        {"send", ApiSend},         {"hex", ApiHex},           {"tohex", ApiToHex},
        {"expect", ApiExpect},     {"read_frame", ApiReadFrame}, {"on_frame", ApiOnFrame},
        {"sleep", ApiSleep},       {"now", ApiNow},           {"set_dtr", ApiSetDtr},
        {"set_rts", ApiSetRts},    {"send_break", ApiSendBreak}, {"log", ApiLog},
        {"print", ApiPrint},       {"exit", ApiExit},         {nullptr, nullptr},
    };
    lua_pushglobaltable(L);
    luaL_setfuncs(L, api, 0);
    lua_pop(L, 1);
}

std::string WhyUnreadable(const std::string& fileName, int error) {
    if (error == EFBIG) return "it is larger than " + std::to_string(MaxScriptBytes >> 20) + " MiB.";
    if (error == EINVAL) return "it is " + ZULFileKindText(fileName) + ", and a script must be a regular file.";
    return GetErrorText(error) + ".";
}

}  // namespace

ZScriptHost::ZScriptHost(ZScriptFrameQueue& queue, IZScriptTarget& target, ZScriptLimits limits, PrintFn print)
    : queue_(queue), target_(target), limits_(std::move(limits)), print_(std::move(print)) {}

ZScriptHost::~ZScriptHost() {
    Stop();
}

bool ZScriptHost::Load(const std::string& fileName, std::string& errorText) {
    std::string source;
    if (!ZULReadRegularFile(fileName, MaxScriptBytes, source)) {
        errorText = "The script \"" + fileName + "\" cannot be read: " + WhyUnreadable(fileName, errno);
        return false;
    }
    LoadSource(fileName, source);
    return true;
}

void ZScriptHost::LoadSource(const std::string& chunkName, const std::string& source) {
    chunkName_ = chunkName;
    source_ = source;
}

void ZScriptHost::Begin() {
    thread_ = std::thread([this] { Run(); });
}

void ZScriptHost::Run() {
    const std::string& chunkName = chunkName_;
    const std::string& source = source_;
    State state(*this);
    lua_State* L = lua_newstate(Allocate, &state);
    if (L == nullptr) {
        Finish(true, "the script cannot start: no memory");
        return;
    }
    *static_cast<State**>(lua_getextraspace(L)) = &state;
    OpenSafeLibraries(L);
    RegisterApi(L);
    lua_sethook(L, Hook, LUA_MASKCOUNT, HookInstructions);
    const std::string name = "@" + chunkName;
    int status = luaL_loadbufferx(L, source.data(), source.size(), name.c_str(), "t");
    if (status == LUA_OK) {
        state.Touch();
        status = lua_pcall(L, 0, 0, 0);
    }
    // The handler sees every frame until the recording ends or the script is stopped.
    while (status == LUA_OK && state.Handler != LUA_NOREF && !state.Unwinding) {
        ZScriptFrame frame;
        const ZScriptFrameQueue::Take take = queue_.Pop(frame, Clock::time_point::max());
        if (take == ZScriptFrameQueue::Take::Ended || take == ZScriptFrameQueue::Take::Stopped) break;
        lua_pushcfunction(L, RunHandler);
        lua_pushlightuserdata(L, take == ZScriptFrameQueue::Take::Frame ? &frame : nullptr);
        status = lua_pcall(L, 1, 0, 0);
    }
    std::string error;
    bool failed = false;
    if (status != LUA_OK && !state.Unwinding) {
        failed = true;
        if (state.OverMemory || status == LUA_ERRMEM) {
            error = chunkName + ": the script used more than its memory cap of " +
                    std::to_string(limits_.MemoryBytes >> 20) + " MB";
        } else {
            error = ToString(L, -1);
            if (error.empty()) error = chunkName + ": the script failed (an error without a message)";
        }
    }
    lua_close(L);
    Finish(failed, error);
}

void ZScriptHost::Finish(bool failed, const std::string& error) {
    // Nothing more is queued for a script that has ended; a replay waiting for room goes on.
    queue_.Stop();
    if (failed) target_.LogError(error);
    std::lock_guard guard(lock_);
    failed_ = failed;
    error_ = error;
    if (failed) exitCode_ = 1;
    done_ = true;
    doneChanged_.notify_all();
}

bool ZScriptHost::WaitDone(std::chrono::milliseconds limit) {
    std::unique_lock guard(lock_);
    return doneChanged_.wait_for(guard, limit, [this] { return done_; });
}

bool ZScriptHost::IsDone() const {
    std::lock_guard guard(lock_);
    return done_;
}

void ZScriptHost::Stop() {
    stopRequested_ = true;
    queue_.Stop();
    if (thread_.joinable()) thread_.join();
}

bool ZScriptHost::Failed() const {
    std::lock_guard guard(lock_);
    return failed_;
}

std::string ZScriptHost::ErrorText() const {
    std::lock_guard guard(lock_);
    return error_;
}

int ZScriptHost::ExitCode() const {
    std::lock_guard guard(lock_);
    return exitCode_;
}

bool ZScriptHost::Exited() const {
    std::lock_guard guard(lock_);
    return exited_;
}
