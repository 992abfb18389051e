-- Checks the Modbus RTU server of the demonstration device (unit 17): reads the holding
-- registers 0 to 3, writes register 10 and reads it back, and provokes exception 02
-- (an address outside 0..99). Exits 0 only if every answer is right:
--
--   kestrun-cli simulate --mode modbus --port 99 &
--   kestrun-cli script samples/modbus_check.lua --settings samples/demo_modbus.scs --out /tmp/logs

local TIMEOUT_MS = 2000
local failures = 0

local function check(ok, what)
    print((ok and "ok    " or "FAILED ") .. what)
    if not ok then failures = failures + 1 end
end

-- Sends a request with its CRC (low byte first, as Modbus sends it) and waits for the
-- answer that starts with the given HEX.
local function ask(request, answer)
    send(hex(request), {checksum = "CRC-16/MODBUS"})
    return expect(answer, TIMEOUT_MS)
end

-- Read holding registers 0 to 3: register i holds i x 257.
local frame = ask("11 03 00 00 00 04", "11 03 08")
check(frame ~= nil and frame.checksum == "good", "registers 0 to 3 answered")
if frame then
    for i = 0, 3 do
        local value = frame.fields["register" .. i]
        check(value == i * 257, string.format("register %d = %s (expected %d)", i, tostring(value), i * 257))
    end
end

-- Write 4660 (12 34) into register 10: the answer echoes the request.
frame = ask("11 06 00 0A 12 34", "11 06 00 0A 12 34")
check(frame ~= nil, "register 10 written")

-- Read register 10 back.
frame = ask("11 03 00 0A 00 01", "11 03 02")
check(frame ~= nil and frame.data:sub(4, 5) == hex("12 34"),
    "register 10 reads back 12 34" .. (frame and (" (" .. frame.hex .. ")") or ""))

-- Register 100 does not exist: exception 02 (illegal data address).
frame = ask("11 03 00 64 00 01", "11 83 02")
check(frame ~= nil and frame.checksum == "good", "exception 02 for register 100")

print(failures == 0 and "all answers right" or (failures .. " answers wrong"))
exit(failures == 0 and 0 or 1)
