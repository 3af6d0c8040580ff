#include "stream/xml_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace SonivarACQ32::stream {

std::optional<QByteArray> read_xml_file(const std::string& path, std::string& why)
{
    const QString name = QString::fromStdString(path);
    const QFileInfo info(name);
    // A pipe or a device would block or never end: regular files only.
    if (info.exists() && !info.isFile()) {
        why = "ce n'est pas un fichier ordinaire";
        return std::nullopt;
    }
    if (info.size() > max_xml_bytes) {
        why = "fichier trop grand (plus de 1 Mio)";
        return std::nullopt;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        why = "fichier illisible";
        return std::nullopt;
    }
    QByteArray bytes = file.read(max_xml_bytes + 1);
    if (bytes.size() > max_xml_bytes) {
        why = "fichier trop grand (plus de 1 Mio)";
        return std::nullopt;
    }
    return bytes;
}

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

std::string xml_error(const QXmlStreamReader& reader)
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

} // namespace SonivarACQ32::stream
