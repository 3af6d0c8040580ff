#include "stream/header_facts.h"

#include "acquisition/timing.h"
#include "selection/channel_map.h"

#include <cmath>
#include <cstdio>

namespace SonivarACQ32::stream {
namespace {

using SonivarACQ32::timing::base_rate_hz;

std::string number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string date_fault(const SonivarACQ32::platform::SYSTEMTIME& d)
{
    const bool sound = d.wMonth >= 1 && d.wMonth <= 12 && d.wDay >= 1 && d.wDay <= 31 &&
                       d.wHour < 24 && d.wMinute < 60 && d.wSecond < 60 && d.wMilliseconds < 1000;
    if (sound)
        return {};
    char text[96];
    std::snprintf(text, sizeof text, "date invalide dans l'en-tête (%d/%d/%d %d:%d:%d,%d)", d.wDay,
                  d.wMonth, d.wYear, d.wHour, d.wMinute, d.wSecond, d.wMilliseconds);
    return text;
}

// Each microphone's flag is 1 or 0, and no analog input is ever acquired:
// anything else is not what the acquisition writes, and what it means is
// unknown.
std::string micros_fault(const SonivarACQ32::type_header_file& h)
{
    using SonivarACQ32::channels::nb_mics;
    for (int m = 0; m < nb_mics; ++m)
        if (h.micros_actifs[m] > 1)
            return "valeur inattendue dans l'en-tête (micros_actifs[" + std::to_string(m) + "] = " +
                   std::to_string(h.micros_actifs[m]) + ", attendu 0 ou 1)";
    for (std::size_t v = 0; v < sizeof h.va_actives; ++v)
        if (h.va_actives[v] != 0)
            return "entrée analogique active dans l'en-tête (va_actives[" + std::to_string(v) + "] = " +
                   std::to_string(h.va_actives[v]) + ") : l'unité n'en acquiert pas";
    for (int m = nb_mics; m < static_cast<int>(sizeof h.micros_actifs); ++m)
        if (h.micros_actifs[m] != 0)
            return "micro inexistant actif dans l'en-tête (micros_actifs[" + std::to_string(m) +
                   "] = " + std::to_string(h.micros_actifs[m]) + ", l'unité a " +
                   std::to_string(nb_mics) + " micros, index 0 à " + std::to_string(nb_mics - 1) +
                   ")";
    return {};
}

} // namespace

std::string header_fault(const SonivarACQ32::type_header_file& h)
{
    // The unit divides its base clock by 1 to 256: no slower rate exists.
    const double freq = h.freq, slowest = base_rate_hz / 256.0;
    if (!std::isfinite(freq) || freq < std::floor(slowest) || freq > base_rate_hz)
        return "fréquence d'échantillonnage invalide dans l'en-tête (freq = " + number(freq) +
               " Hz, attendu entre " + std::to_string(static_cast<int>(std::floor(slowest))) + " et " +
               std::to_string(base_rate_hz) + ")";
    const double duree = h.duree_acq;
    if (!std::isfinite(duree) || duree < 0)
        return "durée invalide dans l'en-tête (duree_acq = " + number(duree) + " s)";
    if (h.type_float > 1)
        return "type d'échantillon inconnu dans l'en-tête (type_float = " +
               std::to_string(h.type_float) + ", attendu 0 ou 1)";
    if (std::string e = micros_fault(h); !e.empty())
        return e;
    return date_fault(h.date);
}

std::optional<double> unit_clock_hz(float recorded)
{
    if (!std::isfinite(recorded) || recorded <= 0)
        return std::nullopt;
    // The divisor is the clock division byte plus one: 1 to 256.
    const double divisor = std::round(base_rate_hz / static_cast<double>(recorded));
    if (divisor < 1 || divisor > 256)
        return std::nullopt;
    const auto d = static_cast<std::int32_t>(divisor);
    if (static_cast<float>(base_rate_hz / d) != recorded)
        return std::nullopt;
    return static_cast<double>(base_rate_hz) / d;
}

double sampling_rate_hz(const SonivarACQ32::type_header_file& header)
{
    return unit_clock_hz(header.freq).value_or(header.freq);
}

const char* sample_type_name(const SonivarACQ32::type_header_file& header)
{
    return header.type_float != 0 ? "float32" : "int32";
}

std::string start_time_iso(const SonivarACQ32::type_header_file& header)
{
    const auto& d = header.date;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.wYear, d.wMonth,
                  d.wDay, d.wHour, d.wMinute, d.wSecond, d.wMilliseconds);
    return text;
}

} // namespace SonivarACQ32::stream
