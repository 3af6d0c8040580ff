#include "recording/description.h"

#include <cmath>
#include <numeric>

namespace SonivarACQ32 {
namespace {

const QString crlf = QStringLiteral("\r\n");

QString d(std::int64_t value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

// One decimal, with the locale's decimal mark and group separators.
QString n1(double value, const QLocale& locale)
{
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', 1);
}

// The general form of a single-precision value: plain digits when whole.
QString general(float value, const QLocale& locale)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15f)
        return QString::number(static_cast<std::int64_t>(value));
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    return l.toString(static_cast<double>(value), 'g', 7);
}

// A label followed by "  <flag>" for each byte.
QString flag_line(QString label, const std::uint8_t* flags, int count)
{
    for (int i = 0; i < count; ++i)
        label += QStringLiteral("  ") + QString::number(flags[i]);
    return label;
}

int sum(const std::uint8_t* bytes, int count)
{
    return std::accumulate(bytes, bytes + count, 0);
}

void date_lines(QString& out, platform::SYSTEMTIME date)
{
    out += QStringLiteral("[Date]") + crlf;
    out += QStringLiteral("Date = %1/%2/%3     ;jour mois année")
               .arg(d(date.wDay, 2), d(date.wMonth, 2), d(date.wYear, 4)) + crlf;
    out += QStringLiteral("Heure = %1:%2:%3")
               .arg(d(date.wHour, 2), d(date.wMinute, 2), d(date.wSecond, 2)) + crlf;
}

void channel_lines(QString& out, const type_header_file& h, std::int32_t nb_voies,
                   std::int32_t nb_micros)
{
    out += QStringLiteral("\n[Voies]") + crlf;
    out += QStringLiteral("Nb_faisceaux = 4") + crlf;
    out += QStringLiteral("Nb_voies = ") + QString::number(nb_voies) + crlf;
    out += QStringLiteral("Nb_micros_actifs = ") + QString::number(nb_micros) + crlf;
    out += QStringLiteral("Nb_voies_analogiques = ") +
           QString::number(sum(h.va_actives, sizeof h.va_actives)) + crlf;
    out += QStringLiteral("Nb_compteurs = ") +
           QString::number(sum(h.compteurs_actifs, sizeof h.compteurs_actifs)) + crlf;

    out += QStringLiteral("\n[Micros actifs]") + crlf;
    for (int beam = 0; beam < 128; ++beam)
        out += flag_line(QStringLiteral("Faisceau_") + d(beam, 3), h.micros_actifs + 8 * beam, 8) +
               crlf;

    out += QStringLiteral("\n[VA actives]") + crlf;
    const char blocks[] = {'A', 'B', 'C', 'D'};
    for (int k = 0; k < 4; ++k)
        out += flag_line(QStringLiteral("Bloc_%1 = ").arg(QLatin1Char(blocks[k])),
                         h.va_actives + 4 * k, 4) + crlf;

    out += QStringLiteral("\n[Compteurs actifs]") + crlf;
    out += flag_line(QStringLiteral("Compteurs = "), h.compteurs_actifs, 4) + crlf;
}

void acquisition_lines(QString& out, const type_header_file& h, const QLocale& locale)
{
    out += QStringLiteral("\n[Acquisition]") + crlf;
    out += QStringLiteral("Freq = ") + general(h.freq, locale) + QStringLiteral("      ; (Hz)") + crlf;
    out += QStringLiteral("Duree = ") + n1(h.duree_acq, locale) + QStringLiteral("       ; (s)") +
           crlf;
    out += QStringLiteral("Nb_ech = ") + QString::number(h.nb_ech) + crlf;
    out += (h.type_float != 0 ? QStringLiteral("Type = float32") : QStringLiteral("Type = int32")) +
           crlf;
}

} // namespace

QString description_text(const type_header_file& header, std::int32_t nb_voies,
                         std::int32_t nb_micros, const QString& commentaire,
                         const QLocale& locale)
{
    const type_header_file& h = header;
    QString out;
    out.reserve(8192 + commentaire.size());
    out += QStringLiteral("[DEFAULT]\n") + crlf;
    date_lines(out, h.date);
    channel_lines(out, h, nb_voies, nb_micros);
    acquisition_lines(out, h, locale);
    out += QStringLiteral("\n\n[OPTIONNAL]") + crlf;
    out += commentaire + crlf;
    return out;
}

} // namespace SonivarACQ32
