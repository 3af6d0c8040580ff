// Reading of a MicGeom XML file with Qt's stream reader.
#include "map/geometry.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
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

// Files written by the field's Python tools declare XML 1.1, which Qt's
// reader refuses. A geometry uses nothing that 1.1 reads differently, so
// its declaration is read as 1.0.
QByteArray declared_as_1_0(QByteArray xml)
{
    static const QRegularExpression declaration(
        QStringLiteral("^(\\s*<\\?xml[^>]*?\\bversion\\s*=\\s*[\"'])1\\.1([\"'])"));
    const qsizetype head_length = std::min<qsizetype>(xml.size(), 256);
    const QString head = QString::fromLatin1(xml.constData(), head_length);
    const QRegularExpressionMatch match = declaration.match(head);
    if (match.hasMatch())
        xml[match.capturedEnd(1) + 2] = '0';  // "1.1" -> "1.0"
    return xml;
}

} // namespace

GeometryResult parse_geometry(std::string_view xml)
{
    QXmlStreamReader reader(declared_as_1_0(QByteArray(xml.data(), static_cast<qsizetype>(xml.size()))));
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
    // More positions than microphones is another array: using the first 32
    // would put the microphones in the wrong places.
    if (geometry.positions.size() != array_microphones)
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
