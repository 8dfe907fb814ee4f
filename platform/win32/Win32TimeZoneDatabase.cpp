#include "platform/win32/Win32TimeZoneDatabase.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

namespace chronavel {
namespace {

// The Windows zones of the IANA zones the built-in service answers for, as
// Unicode's CLDR maps them ("windowsZones").
constexpr std::array<std::pair<std::string_view, std::wstring_view>, 10> WindowsZones{{
    {"America/Vancouver", L"Pacific Standard Time"},
    {"America/Edmonton", L"Mountain Standard Time"},
    {"America/Regina", L"Canada Central Standard Time"},
    {"America/Winnipeg", L"Central Standard Time"},
    {"America/Toronto", L"Eastern Standard Time"},
    {"America/Iqaluit", L"Eastern Standard Time"},
    {"America/Moncton", L"Atlantic Standard Time"},
    {"America/Halifax", L"Atlantic Standard Time"},
    {"America/St_Johns", L"Newfoundland Standard Time"},
    {"America/Whitehorse", L"Yukon Standard Time"},
}};

std::optional<DYNAMIC_TIME_ZONE_INFORMATION> FindZone(std::wstring_view keyName)
{
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    for (DWORD index = 0; EnumDynamicTimeZoneInformation(index, &zone) == ERROR_SUCCESS; ++index) {
        if (keyName == zone.TimeZoneKeyName) {
            return zone;
        }
    }
    return std::nullopt;
}

// FILETIME counts 100-nanosecond ticks from 1601-01-01.
constexpr std::int64_t TicksPerSecond = 10'000'000;
constexpr std::int64_t SecondsFrom1601To1970 = 11'644'473'600;

std::optional<SYSTEMTIME> ToSystemTime(std::chrono::sys_seconds instant)
{
    const std::int64_t ticks = (instant.time_since_epoch().count() + SecondsFrom1601To1970) * TicksPerSecond;
    if (ticks < 0) {
        return std::nullopt;
    }
    const FILETIME file{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME system{};
    if (!FileTimeToSystemTime(&file, &system)) {
        return std::nullopt;
    }
    return system;
}

std::optional<std::int64_t> SecondsSince1601(const SYSTEMTIME& system)
{
    FILETIME file{};
    if (!SystemTimeToFileTime(&system, &file)) {
        return std::nullopt;
    }
    const auto ticks = static_cast<std::int64_t>((std::uint64_t{file.dwHighDateTime} << 32) | file.dwLowDateTime);
    return ticks / TicksPerSecond;
}

} // namespace

std::optional<ZoneState> Win32TimeZoneDatabase::Lookup(const std::string& ianaZoneId,
                                                       std::chrono::sys_seconds instant) const
{
    const auto mapped = std::find_if(WindowsZones.begin(), WindowsZones.end(),
                                     [&](const auto& entry) { return entry.first == ianaZoneId; });
    if (mapped == WindowsZones.end()) {
        return std::nullopt;
    }
    std::optional<DYNAMIC_TIME_ZONE_INFORMATION> zone = FindZone(mapped->second);
    const std::optional<SYSTEMTIME> utc = ToSystemTime(instant);
    if (!zone || !utc) {
        return std::nullopt;
    }
    // The zone's rules for that year: its offsets, changeovers and names. The
    // rules then place the instant (Wine lacks the ...Ex form that would
    // take the zone itself).
    TIME_ZONE_INFORMATION rules{};
    SYSTEMTIME local{};
    if (!GetTimeZoneInformationForYear(utc->wYear, &*zone, &rules)
        || !SystemTimeToTzSpecificLocalTime(&rules, &*utc, &local)) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> localSeconds = SecondsSince1601(local);
    const std::optional<std::int64_t> utcSeconds = SecondsSince1601(*utc);
    if (!localSeconds || !utcSeconds) {
        return std::nullopt;
    }
    // A bias is what is added to local time to reach UTC, in minutes.
    const std::chrono::seconds standard{-(rules.Bias + rules.StandardBias) * 60};
    const std::chrono::seconds inForce{*localSeconds - *utcSeconds};
    const std::chrono::seconds daylightSaving = inForce - standard;
    return ZoneState{standard, daylightSaving,
                     ToUtf8(daylightSaving.count() != 0 ? rules.DaylightName : rules.StandardName)};
}

} // namespace chronavel
