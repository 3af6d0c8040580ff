#pragma once
// What the geometry and calibration readers share: a small XML file read
// whole (a regular file, within a size cap), the XML 1.1 declaration the
// field's Python tools write read as 1.0, and the parser's reason in French.
#include <QByteArray>
#include <QXmlStreamReader>

#include <optional>
#include <string>

namespace SonivarACQ32::stream {

constexpr qint64 max_xml_bytes = 1 << 20;  // 1 MiB: far more than 32 positions or factors
// Far more than a geometry or a calibration holds, far less than what makes
// the parser slow (it compares each attribute of an element with the others).
constexpr int max_xml_attributes = 64;   // per element
constexpr int max_xml_elements = 10000;
constexpr int max_xml_depth = 32;

// The bytes of the file, or nothing and why (French, without the path):
// within the size cap, and within the bounds above (checked by a scan of
// the bytes before any parsing, so that a hostile file is refused at once).
// UTF-8 with or without a byte-order mark and UTF-16 come back as UTF-8
// without a mark.
std::optional<QByteArray> read_xml_file(const std::string& path, std::string& why);

// The UTF-8 text to parse, a file declared XML 1.1 read as 1.0: a geometry
// or a calibration uses nothing that 1.1 reads differently. As a QString,
// the parser ignores the declared encoding (the text is already decoded).
QString declared_as_1_0(const QByteArray& utf8);

// The parser's reason in French, with its line and column.
std::string xml_error(const QXmlStreamReader& reader);

} // namespace SonivarACQ32::stream
