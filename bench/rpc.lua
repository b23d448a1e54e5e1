-- wrk script: posts JSON-RPC calls spread over the generated branches and days, GETs /health, or
-- asks the read-only interface, and prints one parseable line when done. Environment:
--   BENCH_METHOD    GetCaleProduAux (default), GetCaleProdu, health, add (the N-th production
--                   day, N in -20 ... 20) or ics (a year's iCalendar feed)
--   BENCH_BRANCHES  how many branches the data holds (default 1000)
--   BENCH_YEAR      the year of the data (default 2026)
local method = os.getenv("BENCH_METHOD") or "GetCaleProduAux"
local branches = tonumber(os.getenv("BENCH_BRANCHES") or "1000")
local year = tonumber(os.getenv("BENCH_YEAR") or "2026")
local path = "/QMR07700.rdmCaleProd"

local threadCount = 0
function setup(thread)
    threadCount = threadCount + 1
    thread:set("id", threadCount)
end

local requests = {}
local next = 0

function init(args)
    math.randomseed(1000 + (id or 0))
    if method == "health" then
        requests[1] = wrk.format("GET", "/health")
        return
    end
    local monthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}
    if method == "add" or method == "ics" then
        for i = 1, 1024 do
            local calendar = string.format("/api/v1/calendars/%04d/01", math.random(branches))
            -- February to November: 20 production days either way stay inside the stored year.
            local month = math.random(2, 11)
            local target = string.format("%s/add?date=%04d-%02d-%02d&n=%d", calendar, year,
                                         month, math.random(monthDays[month]),
                                         math.random(-20, 20))
            if method == "ics" then
                target = string.format("%s.ics?from=%d-01-01&to=%d-12-31", calendar, year, year)
            end
            requests[i] = wrk.format("GET", target)
        end
        return
    end
    local headers = {["Content-Type"] = "application/json"}
    -- Formatted once: building a request per call would make wrk the bottleneck.
    for i = 1, 1024 do
        local branch = string.format("%04d", math.random(branches))
        local params
        if method == "GetCaleProdu" then
            params = string.format('["%s","01","%d"]', branch, year)
        else
            local month = math.random(12)
            params = string.format('["%s","01","%04d-%02d-%02d"]', branch, year, month,
                                   math.random(monthDays[month]))
        end
        local body = string.format('{"jsonrpc":"2.0","id":%d,"method":"%s","params":%s}', i,
                                   method, params)
        requests[i] = wrk.format("POST", path, headers, body)
    end
end

function request()
    next = next % #requests + 1
    return requests[next]
end

function done(summary, latency, requests)
    local seconds = summary.duration / 1e6
    local e = summary.errors
    io.write(string.format(
        "WRK requests=%d seconds=%.3f rps=%.1f p50=%.3f p99=%.3f max=%.3f errors=%d\n",
        summary.requests, seconds, summary.requests / seconds,
        latency:percentile(50) / 1000, latency:percentile(99) / 1000, latency.max / 1000,
        e.connect + e.read + e.write + e.status + e.timeout))
end
