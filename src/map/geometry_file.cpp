// Reading of a MicGeom XML file with Qt's stream reader.
#include "map/geometry.h"

#include "stream/french_text.h"
#include "stream/xml_file.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <cmath>

namespace SonivarACQ32::acoustic_map {

namespace {

std::optional<double> coordinate(const QXmlStreamAttributes& attributes, const char* name)
{
    if (!attributes.hasAttribute(QLatin1String(name)))
        return std::nullopt;
    bool ok = false;
    const double value = attributes.value(QLatin1String(name)).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

GeometryResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

} // namespace

GeometryResult parse_geometry(std::string_view xml)
{
    QXmlStreamReader reader(stream::declared_as_1_0(QByteArray(xml.data(), static_cast<qsizetype>(xml.size()))));
    if (!reader.readNextStartElement())
        return failure(reader.hasError() ? stream::xml_error(reader) : "aucun élément MicArray");
    if (reader.name() != QLatin1String("MicArray"))
        return failure("l'élément racine n'est pas MicArray");
    Geometry geometry;
    geometry.name = reader.attributes().value(QLatin1String("name")).toString().toStdString();
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("pos")) {
            const QXmlStreamAttributes a = reader.attributes();
            const auto x = coordinate(a, "x"), y = coordinate(a, "y"), z = coordinate(a, "z");
            if (!x || !y || !z)
                return failure("position " + std::to_string(geometry.positions.size() + 1) +
                               " sans coordonnées x, y, z finies");
            if (std::hypot(*x, *y, *z) > farthest_microphone_m)
                return failure("position " + std::to_string(geometry.positions.size() + 1) + " à plus de " +
                               stream::french_grouped(farthest_microphone_m, 0) + " m du centre de l'antenne (x = " +
                               stream::french_grouped(*x, 2) + ", y = " + stream::french_grouped(*y, 2) +
                               ", z = " + stream::french_grouped(*z, 2) + ")");
            geometry.positions.push_back({*x, *y, *z});
        }
        reader.skipCurrentElement();
    }
    if (reader.hasError())
        return failure(stream::xml_error(reader));
    // More positions than microphones is another array: using the first 32
    // would put the microphones in the wrong places.
    if (geometry.positions.size() != array_microphones)
        return failure(std::to_string(geometry.positions.size()) + " position(s) au lieu de " +
                       std::to_string(array_microphones));
    return {std::move(geometry), {}};
}

GeometryResult read_geometry(const std::string& path)
{
    std::string why;
    const std::optional<QByteArray> bytes = stream::read_xml_file(path, why);
    if (!bytes)
        return failure("Géométrie " + path + " : " + why);
    GeometryResult result = parse_geometry(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())));
    if (!result.geometry)
        result.error = "Géométrie " + path + " : " + result.error;
    return result;
}

} // namespace SonivarACQ32::acoustic_map
