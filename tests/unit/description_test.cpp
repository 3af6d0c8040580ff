#include "recording/description.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cstring>

using namespace SonivarACQ32;

namespace {

// A recording of beam 0 microphones 0, 2 and 7 plus beam 3 microphone 5,
// with the packet counter, at 41666 Hz for 5 s, started 7 March 2023 at
// 14:05:09.250 (a Tuesday).
type_header_file known_state()
{
    type_header_file h;
    std::memset(&h, 0, sizeof h);
    h.date = {2023, 3, 2, 7, 14, 5, 9, 250};
    h.micros_actifs[0] = h.micros_actifs[2] = h.micros_actifs[7] = 1;
    h.micros_actifs[8 * 3 + 5] = 1;
    h.compteurs_actifs[0] = 1;
    h.freq = 41666.0f;
    h.nb_ech = 208330;
    h.duree_acq = 5.0f;
    h.type_float = 0;
    std::memset(h.texte_commentaire, ' ', sizeof h.texte_commentaire);
    return h;
}

// Lines as separated by CR LF; the last piece after the final CR LF is empty.
QStringList crlf_lines(const QString& text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    return lines;
}

int bare_line_feeds(const QString& text)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            ++n;
    return n;
}

} // namespace

TEST(Description, ShapeOfTheFile)
{
    const QString text =
        description_text(known_state(), 5, 4, QString(), QLocale(QLocale::French));
    const QByteArray bytes = text.toUtf8();
    EXPECT_TRUE(bytes.startsWith("[DEFAULT]\n\r\n[Date]\r\n"));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 153);
    // One before each section after [Date], two before [OPTIONNAL], one after [DEFAULT].
    EXPECT_EQ(bare_line_feeds(text), 8);
    // No closed comment: the section header, then an empty line.
    EXPECT_TRUE(bytes.endsWith("\n\n[OPTIONNAL]\r\n\r\n"));
    // UTF-8 without byte-order mark; the date's accented letter as two bytes.
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.contains("Date = 07/03/2023     ;jour mois ann\xC3\xA9" "e\r\n"));
}

TEST(Description, LinesOfAKnownState)
{
    const QStringList lines = crlf_lines(
        description_text(known_state(), 5, 4, QString(), QLocale(QLocale::French)));
    ASSERT_EQ(lines.size(), 153);
    EXPECT_EQ(lines[0], QStringLiteral("[DEFAULT]\n"));
    EXPECT_EQ(lines[1], QStringLiteral("[Date]"));
    EXPECT_EQ(lines[3], QStringLiteral("Heure = 14:05:09"));
    EXPECT_EQ(lines[4], QStringLiteral("\n[Voies]"));
    EXPECT_EQ(lines[5], QStringLiteral("Nb_faisceaux = 4"));
    EXPECT_EQ(lines[6], QStringLiteral("Nb_voies = 5"));
    EXPECT_EQ(lines[7], QStringLiteral("Nb_micros_actifs = 4"));
    EXPECT_EQ(lines[8], QStringLiteral("Nb_voies_analogiques = 0"));
    EXPECT_EQ(lines[9], QStringLiteral("Nb_compteurs = 1"));
    EXPECT_EQ(lines[10], QStringLiteral("\n[Micros actifs]"));
    EXPECT_EQ(lines[11], QStringLiteral("Faisceau_000  1  0  1  0  0  0  0  1"));
    EXPECT_EQ(lines[12], QStringLiteral("Faisceau_001  0  0  0  0  0  0  0  0"));
    EXPECT_EQ(lines[14], QStringLiteral("Faisceau_003  0  0  0  0  0  1  0  0"));
    for (int beam = 4; beam < 128; ++beam)
        EXPECT_EQ(lines[11 + beam],
                  QStringLiteral("Faisceau_%1  0  0  0  0  0  0  0  0")
                      .arg(beam, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(lines[139], QStringLiteral("\n[VA actives]"));
    EXPECT_EQ(lines[140], QStringLiteral("Bloc_A =   0  0  0  0"));
    EXPECT_EQ(lines[141], QStringLiteral("Bloc_B =   0  0  0  0"));
    EXPECT_EQ(lines[142], QStringLiteral("Bloc_C =   0  0  0  0"));
    EXPECT_EQ(lines[143], QStringLiteral("Bloc_D =   0  0  0  0"));
    EXPECT_EQ(lines[144], QStringLiteral("\n[Compteurs actifs]"));
    EXPECT_EQ(lines[145], QStringLiteral("Compteurs =   1  0  0  0"));
    EXPECT_EQ(lines[146], QStringLiteral("\n[Acquisition]"));
    EXPECT_EQ(lines[147], QStringLiteral("Freq = 41666      ; (Hz)"));
    EXPECT_EQ(lines[148], QStringLiteral("Duree = 5,0       ; (s)"));
    EXPECT_EQ(lines[149], QStringLiteral("Nb_ech = 208330"));
    EXPECT_EQ(lines[150], QStringLiteral("Type = int32"));
    EXPECT_EQ(lines[151], QStringLiteral("\n\n[OPTIONNAL]"));
    EXPECT_EQ(lines[152], QString());
}

TEST(Description, WithoutCounterAndWithFloatSamples)
{
    type_header_file h = known_state();
    h.compteurs_actifs[0] = 0;
    h.type_float = 1;
    h.freq = 50000.0f;
    h.nb_ech = 4294967295u;
    const QStringList lines =
        crlf_lines(description_text(h, 4, 4, QString(), QLocale(QLocale::English)));
    EXPECT_EQ(lines[9], QStringLiteral("Nb_compteurs = 0"));
    EXPECT_EQ(lines[145], QStringLiteral("Compteurs =   0  0  0  0"));
    EXPECT_EQ(lines[147], QStringLiteral("Freq = 50000      ; (Hz)"));
    EXPECT_EQ(lines[149], QStringLiteral("Nb_ech = 4294967295"));
    EXPECT_EQ(lines[150], QStringLiteral("Type = float32"));
}

// The duration in the operator's regional settings: decimal mark and group
// separator of the locale.
struct DurationCase {
    QLocale::Language language;
    QLocale::Territory territory;
    float duree;
    const char* shown;
};

class DescriptionDuration : public testing::TestWithParam<DurationCase> {};

TEST_P(DescriptionDuration, UsesTheLocale)
{
    const DurationCase& c = GetParam();
    type_header_file h = known_state();
    h.duree_acq = c.duree;
    const QLocale locale(c.language, c.territory);
    const QStringList lines = crlf_lines(description_text(h, 5, 4, QString(), locale));
    // The group separator of French is a (narrow) no-break space.
    QString expected = QString::fromUtf8(c.shown);
    expected.replace(QLatin1Char('_'), locale.groupSeparator());
    EXPECT_EQ(lines[148], QStringLiteral("Duree = ") + expected + QStringLiteral("       ; (s)"));
}

INSTANTIATE_TEST_SUITE_P(
    Locales, DescriptionDuration,
    testing::Values(DurationCase{QLocale::French, QLocale::France, 5.0f, "5,0"},
                    DurationCase{QLocale::English, QLocale::UnitedStates, 5.0f, "5.0"},
                    DurationCase{QLocale::French, QLocale::France, 0.26f, "0,3"},
                    DurationCase{QLocale::English, QLocale::UnitedStates, 2.74f, "2.7"},
                    DurationCase{QLocale::French, QLocale::France, 86400.0f, "86_400,0"},
                    DurationCase{QLocale::English, QLocale::UnitedStates, 1234.5f, "1_234.5"}));

TEST(Description, CommentIsTheLastSectionWithItsPaddingAndLineBreaks)
{
    const QString commentaire = QStringLiteral("Salle B\r\nvent d'est  ");
    const QString text =
        description_text(known_state(), 5, 4, commentaire, QLocale(QLocale::French));
    EXPECT_TRUE(text.endsWith(QStringLiteral("[OPTIONNAL]\r\nSalle B\r\nvent d'est  \r\n")));
    // The comment's own line break comes on top of the 153 line ends.
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 154);
    const QByteArray bytes =
        description_text(known_state(), 5, 4, QStringLiteral("écho"), QLocale(QLocale::French))
            .toUtf8();
    EXPECT_TRUE(bytes.endsWith("\r\n\xC3\xA9" "cho\r\n"));
}
