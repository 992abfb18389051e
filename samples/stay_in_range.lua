-- Checks a recording of the demonstration device: every report's temperature must stay
-- within 20 to 40 °C. The exit code says whether it did (0) or not (1), so a build can
-- check the recording without a device:
--
--   kestrun-cli replay --settings samples/demo_dynamic.scs --input samples/demo_dynamic.bin \
--       --out /tmp/logs --script samples/stay_in_range.lua

local LOW, HIGH = 20, 40
local reports = 0

while true do
    local frame = read_frame(1000)
    if frame == nil then break end  -- the end of the recording
    local temperature = frame.fields.temperature
    if temperature ~= nil then
        reports = reports + 1
        if temperature < LOW or temperature > HIGH then
            print(string.format("report %d (%s): %.1f °C is outside %d to %d °C",
                reports, os.date("%Y-%m-%d %H:%M:%S", math.floor(frame.time)), temperature, LOW, HIGH))
            exit(1)
        end
    end
end
print(string.format("%d reports, every temperature within %d to %d °C", reports, LOW, HIGH))
