// Reading of a MicGeom XML file with Qt's stream reader.
#include "map/geometry.h"

#include <QByteArray>
#include <QFile>
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

// The parser's reason in French, its own words after it.
std::string unreadable(const QXmlStreamReader& reader)
{
    std::string why;
    switch (reader.error()) {
    case QXmlStreamReader::PrematureEndOfDocumentError: why = "document incomplet"; break;
    case QXmlStreamReader::UnexpectedElementError: why = "élément inattendu"; break;
    case QXmlStreamReader::NotWellFormedError: why = "document mal formé"; break;
    default: why = "erreur de lecture"; break;
    }
    return "XML illisible (ligne " + std::to_string(reader.lineNumber()) + ") : " + why + " (" +
           reader.errorString().toStdString() + ")";
}

} // namespace

GeometryResult parse_geometry(std::string_view xml)
{
    QXmlStreamReader reader(QByteArray(xml.data(), static_cast<qsizetype>(xml.size())));
    if (!reader.readNextStartElement())
        return failure(reader.hasError() ? unreadable(reader) : "aucun élément MicArray");
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
            geometry.positions.push_back({*x, *y, *z});
        }
        reader.skipCurrentElement();
    }
    if (reader.hasError())
        return failure(unreadable(reader));
    if (geometry.positions.size() < array_microphones)
        return failure(std::to_string(geometry.positions.size()) + " position(s) au lieu de " +
                       std::to_string(array_microphones));
    return {std::move(geometry), {}};
}

GeometryResult read_geometry(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return failure("Géométrie " + path + " : fichier illisible");
    const QByteArray bytes = file.readAll();
    GeometryResult result = parse_geometry(std::string_view(bytes.constData(), bytes.size()));
    if (!result.geometry)
        result.error = "Géométrie " + path + " : " + result.error;
    return result;
}

} // namespace SonivarACQ32::acoustic_map
