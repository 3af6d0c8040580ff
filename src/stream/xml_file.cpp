#include "stream/xml_file.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

namespace SonivarACQ32::stream {

namespace {

// The elements' count, depth and attributes, from the bytes: every '<' that
// opens a tag (not a comment, a declaration or an end tag) is an element,
// each '=' outside quotes in it an attribute. Empty when within bounds.
std::string beyond_bounds(const QByteArray& xml)
{
    int elements = 0, depth = 0, attributes = 0;
    bool in_tag = false, closing = false;
    char quote = 0;
    for (qsizetype i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (!in_tag && c == '<') {
            const char next = i + 1 < xml.size() ? xml[i + 1] : '\0';
            if (next == '!' || next == '?')
                continue;
            in_tag = true;
            closing = next == '/';
            attributes = 0;
            if (!closing && (++elements > max_xml_elements || ++depth > max_xml_depth))
                return elements > max_xml_elements ? "plus de " + std::to_string(max_xml_elements) + " éléments"
                                                   : "plus de " + std::to_string(max_xml_depth) + " niveaux d'éléments";
            if (closing)
                --depth;
        } else if (in_tag && (c == '"' || c == '\'')) {
            quote = c;
        } else if (in_tag && c == '=' && ++attributes > max_xml_attributes) {
            return "un élément a plus de " + std::to_string(max_xml_attributes) + " attributs";
        } else if (in_tag && c == '>') {
            in_tag = false;
            if (!closing && i > 0 && xml[i - 1] == '/')
                --depth;  // an empty element
        }
    }
    return {};
}

// The text as UTF-8 without a byte-order mark. Editors on Windows write
// UTF-8 with a mark, or UTF-16 (with a mark, or recognisable by the "<" of
// the declaration with a zero byte beside it).
QByteArray as_utf8(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.mid(3);
    const auto utf16 = [&](QStringDecoder::Encoding encoding, qsizetype skip) {
        QStringDecoder decode(encoding);
        return QString(decode(bytes.mid(skip))).toUtf8();
    };
    if (bytes.startsWith("\xFF\xFE"))
        return utf16(QStringDecoder::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF"))
        return utf16(QStringDecoder::Utf16BE, 2);
    if (bytes.startsWith(QByteArray("<\0", 2)))
        return utf16(QStringDecoder::Utf16LE, 0);
    if (bytes.startsWith(QByteArray("\0<", 2)))
        return utf16(QStringDecoder::Utf16BE, 0);
    return bytes;
}

} // namespace

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
    bytes = as_utf8(bytes);
    if (std::string beyond = beyond_bounds(bytes); !beyond.empty()) {
        why = "XML refusé : " + beyond;
        return std::nullopt;
    }
    return bytes;
}

QString declared_as_1_0(const QByteArray& utf8)
{
    QString xml = QString::fromUtf8(utf8);
    static const QRegularExpression declaration(
        QStringLiteral("^(\\s*<\\?xml[^>]*?\\bversion\\s*=\\s*[\"'])1\\.1([\"'])"));
    const QRegularExpressionMatch match = declaration.match(xml.left(256));
    if (match.hasMatch())
        xml[match.capturedEnd(1) + 2] = u'0';  // "1.1" -> "1.0"
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
    // The parser's own words are English: the place says where to look.
    return "XML illisible (ligne " + std::to_string(reader.lineNumber()) + ", colonne " +
           std::to_string(reader.columnNumber()) + ") : " + why;
}

} // namespace SonivarACQ32::stream
