#include "stream/calibration_file.h"

#include "stream/xml_file.h"

#include <QString>

#include <cmath>
#include <limits>
#include <cstdio>
#include <vector>

namespace SonivarACQ32::stream {

namespace {

CalibrationResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

// The factors of every <pos> element, wherever it stands; false with `why`
// set at the first one that is not a positive finite number.
bool read_factors(QXmlStreamReader& reader, std::vector<double>& factors, std::string& why)
{
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != QLatin1String("pos"))
            continue;
        bool ok = false;
        // QString's own reading: a decimal point only, whatever the locale.
        const double factor = reader.attributes().value(QLatin1String("factor")).toString().toDouble(&ok);
        // Kept as a float: one that a float cannot hold (1e39) or holds as
        // zero (1e-50) would make every level infinite or undefined.
        const bool held = factor >= std::numeric_limits<float>::min() && factor <= std::numeric_limits<float>::max();
        if (!ok || !std::isfinite(factor) || factor <= 0.0 || !held) {
            why = "facteur " + std::to_string(factors.size() + 1) +
                  (ok && factor > 0.0 && !held ? " hors de la plage d'un réel simple (" : " absent ou non strictement positif (") +
                  reader.attributes().value(QLatin1String("factor")).toString().toStdString() + ")";
            return false;
        }
        factors.push_back(factor);
    }
    return true;
}

} // namespace

CalibrationResult parse_calibration(std::string_view xml)
{
    QXmlStreamReader reader(declared_as_1_0(QByteArray(xml.data(), static_cast<qsizetype>(xml.size()))));
    std::vector<double> factors;
    std::string why;
    if (!read_factors(reader, factors, why))
        return failure(why);
    if (reader.hasError())
        return failure(xml_error(reader));
    if (factors.size() != calibrated_microphones)
        return failure(std::to_string(factors.size()) + " facteur(s) au lieu de " +
                       std::to_string(calibrated_microphones));
    Calibration calibration;
    for (std::size_t m = 0; m < factors.size(); ++m)
        calibration.factor[m] = static_cast<float>(factors[m]);
    return {calibration, {}};
}

CalibrationResult read_calibration(const std::string& path)
{
    std::string why;
    const std::optional<QByteArray> bytes = read_xml_file(path, why);
    CalibrationResult result =
        bytes ? parse_calibration(std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())))
              : failure(why);
    if (!result.calibration)
        result.error = "Étalonnage " + path + " : " + result.error;
    return result;
}

std::string calibration_xml(const std::vector<double>& factors, const std::string& name)
{
    const std::string escaped = QString::fromStdString(name).toHtmlEscaped().toStdString();
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Calib name=\"" + escaped + "\">\n";
    for (std::size_t m = 0; m < factors.size(); ++m) {
        char line[96];
        std::snprintf(line, sizeof line, "  <pos Name=\"Point %zu\" factor=\"%.9g\"/>\n", m + 1, factors[m]);
        xml += line;
    }
    return xml + "</Calib>\n";
}

std::string calibration_xml(const Calibration& calibration, const std::string& name)
{
    return calibration_xml(std::vector<double>(calibration.factor.begin(), calibration.factor.end()), name);
}

} // namespace SonivarACQ32::stream
