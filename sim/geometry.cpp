#include "geometry.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sim {

double distance(const Position& a, const Position& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

namespace {

constexpr double example_pitch_m = 0.04;

struct ParseState {
    std::vector<Position> positions;
    bool in_array = false;
    bool saw_array = false;
};

// A number written the C way (a point, whatever the locale); nothing when
// the attribute is missing or has text after the number.
std::optional<double> number(const char* text)
{
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    char* end = nullptr;
    const double v = g_ascii_strtod(text, &end);
    while (end != nullptr && g_ascii_isspace(*end))
        ++end;
    if (end == nullptr || *end != '\0' || !std::isfinite(v))
        return std::nullopt;
    return v;
}

const char* attribute(const char** names, const char** values, const char* wanted)
{
    for (int i = 0; names[i] != nullptr; ++i)
        if (std::strcmp(names[i], wanted) == 0)
            return values[i];
    return nullptr;
}

void start_element(GMarkupParseContext*, const char* element, const char** names, const char** values,
                   gpointer data, GError** error)
{
    auto* state = static_cast<ParseState*>(data);
    if (std::strcmp(element, "MicArray") == 0) {
        state->in_array = state->saw_array = true;
        return;
    }
    if (std::strcmp(element, "pos") != 0 || !state->in_array)
        return;
    const auto x = number(attribute(names, values, "x"));
    const auto y = number(attribute(names, values, "y"));
    const auto z = number(attribute(names, values, "z"));
    if (!x || !y || !z) {
        g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "bad pos");
        return;
    }
    state->positions.push_back({*x, *y, *z});
}

void end_element(GMarkupParseContext*, const char* element, gpointer data, GError**)
{
    if (std::strcmp(element, "MicArray") == 0)
        static_cast<ParseState*>(data)->in_array = false;
}

} // namespace

std::optional<std::vector<Position>> parse_mic_geometry(std::string_view xml)
{
    const GMarkupParser parser{start_element, end_element, nullptr, nullptr, nullptr};
    ParseState state;
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, GMarkupParseFlags{}, &state, nullptr);
    GError* error = nullptr;
    const bool ok = g_markup_parse_context_parse(context, xml.data(), static_cast<gssize>(xml.size()), &error) &&
                    g_markup_parse_context_end_parse(context, &error);
    g_clear_error(&error);
    g_markup_parse_context_free(context);
    if (!ok || !state.saw_array)
        return std::nullopt;
    return state.positions;
}

std::optional<Geometry> read_geometry_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    const auto positions = parse_mic_geometry(text.str());
    if (!positions || positions->size() != microphone_count)
        return std::nullopt;
    Geometry geometry;
    std::copy(positions->begin(), positions->end(), geometry.begin());
    return geometry;
}

Geometry example_geometry()
{
    Geometry geometry;
    for (int m = 0; m < microphone_count; ++m)
        geometry[m] = {(m % 8 - 3.5) * example_pitch_m, (m / 8 - 1.5) * example_pitch_m, 0.0};
    return geometry;
}

} // namespace sim
