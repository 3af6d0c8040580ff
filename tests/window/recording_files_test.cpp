// The three files of a recording, as the operator chooses them and as the
// end of a run (or its abandon) leaves them on disk.
#include "window_harness.h"
#include "app/format.h"
#include "app/principale.h"
#include "recording/companion_names.h"
#include "recording/header_record.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstring>

using SonivarACQ32::Principale;
using SonivarACQ32::header_file;

namespace {

QByteArray read_all(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The header file read back field by field at its documented offsets,
// without the program's record type.
struct HeaderRead {
    std::array<std::uint16_t, 8> date{};
    QByteArray micros, va, compteurs, commentaire;
    float freq = 0;
    std::uint32_t nb_ech = 0;
    float duree = 0;
    std::uint8_t type_float = 0;
};

template <typename T>
T at(const QByteArray& b, int offset)
{
    T v;
    std::memcpy(&v, b.constData() + offset, sizeof v);
    return v;
}

HeaderRead parse_header(const QByteArray& b)
{
    HeaderRead h;
    for (int i = 0; i < 8; ++i)
        h.date[i] = at<std::uint16_t>(b, 2 * i);
    h.micros = b.mid(16, 1024);
    h.va = b.mid(1040, 16);
    h.compteurs = b.mid(1056, 4);
    h.freq = at<float>(b, 1060);
    h.nb_ech = at<std::uint32_t>(b, 1064);
    h.duree = at<float>(b, 1068);
    h.type_float = at<std::uint8_t>(b, 1072);
    h.commentaire = b.mid(1073);
    return h;
}

class RecordingFiles : public testsupport::WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The panel as a successful Init leaves it, without the unit's help.
        h.enable_panel();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    void choose(const QString& answer)
    {
        dialogs.answers.push_back(answer);
        w.button_Fichier->click();
    }

    // The three files of a data path and their sizes; -1 when missing.
    std::array<qint64, 3> sizes(const QString& base) const
    {
        std::array<qint64, 3> s{};
        const char* ext[] = {".dat", ".Zv", ".log"};
        for (int i = 0; i < 3; ++i) {
            QFileInfo info(path(base + QString::fromLatin1(ext[i])));
            s[i] = info.exists() ? info.size() : -1;
        }
        return s;
    }

    QTemporaryDir dir;
};

const std::array<qint64, 3> three_empty = {0, 0, 0};

} // namespace

TEST_F(RecordingFiles, ChoosingAFileCreatesThreeEmptyFiles)
{
    // An existing set of that name is replaced.
    for (const char* ext : {".dat", ".Zv", ".log"}) {
        QFile old(path(QStringLiteral("essai") + QString::fromLatin1(ext)));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("ancien contenu");
    }
    choose(path(QStringLiteral("essai.dat")));

    EXPECT_EQ(dialogs.filters_asked, QStringList{SonivarACQ32::data_file_filter});
    EXPECT_EQ(Principale::own.pane_text, QStringLiteral("Nom du fichier d'acquisition : ") +
                                         path(QStringLiteral("essai.dat")) + QStringLiteral("\r\n"));
    EXPECT_TRUE(w.file_open);
    EXPECT_NE(Principale::Filep, nullptr);
    EXPECT_EQ(w.acqui_name, path(QStringLiteral("essai.dat")));
    EXPECT_EQ(sizes(QStringLiteral("essai")), three_empty);
}

TEST_F(RecordingFiles, ChoosingAgainClosesThePreviousStillEmptySet)
{
    choose(path(QStringLiteral("premier.dat")));
    choose(path(QStringLiteral("second.dat")));
    ASSERT_TRUE(w.file_open);
    std::fwrite("abcd", 1, 4, Principale::Filep);
    w.close_file_set(true);

    EXPECT_EQ(sizes(QStringLiteral("premier")), three_empty);
    const auto second = sizes(QStringLiteral("second"));
    EXPECT_EQ(second[0], 4);
    EXPECT_EQ(second[1], 2097);
    EXPECT_GT(second[2], 0);
}

TEST_F(RecordingFiles, CancelledDialogOpensNothingAndDropsAnEarlierChoice)
{
    choose(QString());
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::Filep, nullptr);
    EXPECT_TRUE(Principale::own.pane_text.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    choose(path(QStringLiteral("essai.dat")));
    choose(QString());
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::Filep, nullptr);
    EXPECT_EQ(w.Zv, nullptr);
    EXPECT_EQ(w.log, nullptr);
    EXPECT_EQ(sizes(QStringLiteral("essai")), three_empty);
}

TEST_F(RecordingFiles, CompanionsStayBesideTheDataFile)
{
    struct Case {
        const char* folder;  // made under the temporary folder
        const char* chosen;
        const char* base;    // of the three files created
    };
    const Case cases[] = {
        {"mesures.data", "mesures.data/essai.dat", "mesures.data/essai"},
        {"brut", "brut/sans_extension", "brut/sans_extension"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(c.folder)));
        choose(path(QString::fromLatin1(c.chosen)));
        ASSERT_TRUE(w.file_open);
        EXPECT_EQ(w.acqui_name, path(QString::fromLatin1(c.base) + QStringLiteral(".dat")));
        EXPECT_EQ(sizes(QString::fromLatin1(c.base)), three_empty);
        EXPECT_EQ(QDir(path(QString::fromLatin1(c.folder))).entryList(QDir::Files).size(), 3);
    }
}

TEST_F(RecordingFiles, AFileThatCannotBeCreatedLeavesNoSetOpen)
{
    struct Case {
        const char* label;
        const char* make_folder;  // a folder in the way, or nothing
        const char* chosen;
        const char* message;      // start of the pane's line
        const char* reason;
    };
    const Case cases[] = {
        {"missing folder", nullptr, "absent/essai.dat", "Impossible de créer le fichier de données ",
         "dossier introuvable"},
        {"data name is a folder", "dossier.dat", "dossier.dat",
         "Impossible de créer le fichier de données ", "ce nom est celui d'un dossier"},
        {"header name is a folder", "essai.Zv", "essai.dat",
         "Impossible de créer le fichier d'en-tête ", "ce nom est celui d'un dossier"},
        {"description name is a folder", "essai2.log", "essai2.dat",
         "Impossible de créer le fichier de description ", "ce nom est celui d'un dossier"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.make_folder != nullptr) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(c.make_folder)));
        }
        Principale::own.pane_text.clear();
        choose(path(QString::fromLatin1(c.chosen)));

        EXPECT_TRUE(Principale::own.pane_text.contains(QString::fromUtf8(c.message)));
        EXPECT_TRUE(Principale::own.pane_text.contains(QString::fromUtf8(c.reason)));
        EXPECT_TRUE(Principale::own.pane_text.endsWith(QStringLiteral("\r\n")));
        EXPECT_FALSE(w.file_open);
        EXPECT_EQ(Principale::Filep, nullptr);
        EXPECT_EQ(w.Zv, nullptr);
        EXPECT_EQ(w.log, nullptr);
    }
}

TEST_F(RecordingFiles, EndOfRunWritesTheHeaderAndTheDescription)
{
    choose(path(QStringLiteral("essai.dat")));
    ASSERT_TRUE(w.file_open);
    // The state a recorded run of beam 0 with the counter leaves behind.
    header_file.date = {2024, 2, 4, 29, 23, 59, 58, 999};
    header_file.micros_actifs[1] = 1;
    header_file.micros_actifs[6] = 1;
    header_file.compteurs_actifs[0] = 1;
    header_file.freq = 41666.0f;
    header_file.nb_ech = 208330;
    header_file.duree_acq = 5.0f;
    header_file.type_float = 1;
    Principale::nb_voies = 3;
    w.nb_micros = 2;

    w.close_file_set(true);
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::Filep, nullptr);

    const QByteArray zv = read_all(path(QStringLiteral("essai.Zv")));
    ASSERT_EQ(zv.size(), 2097);
    const HeaderRead h = parse_header(zv);
    EXPECT_EQ(h.date, (std::array<std::uint16_t, 8>{2024, 2, 4, 29, 23, 59, 58, 999}));
    QByteArray micros(1024, '\0');
    micros[1] = micros[6] = 1;
    EXPECT_EQ(h.micros, micros);
    EXPECT_EQ(h.va, QByteArray(16, '\0'));
    EXPECT_EQ(h.compteurs, QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(h.freq, 41666.0f);
    EXPECT_EQ(h.nb_ech, 208330u);
    EXPECT_EQ(h.duree, 5.0f);
    EXPECT_EQ(h.type_float, 1);
    // No comment was ever closed: 1024 spaces and no terminator.
    EXPECT_EQ(h.commentaire, QByteArray(1024, ' '));

    const QByteArray log = read_all(path(QStringLiteral("essai.log")));
    EXPECT_TRUE(log.startsWith("[DEFAULT]\n\r\n[Date]\r\nDate = 29/02/2024"));
    EXPECT_EQ(log.count("\r\n"), 153);
    EXPECT_TRUE(log.contains("\r\nHeure = 23:59:58\r\n"));
    EXPECT_TRUE(log.contains("\r\nNb_voies = 3\r\nNb_micros_actifs = 2\r\n"));
    EXPECT_TRUE(log.contains("\r\nFaisceau_000  0  1  0  0  0  0  1  0\r\n"));
    EXPECT_TRUE(log.contains("\r\nFreq = 41666      ; (Hz)\r\nDuree = 5,0       ; (s)\r\n"
                             "Nb_ech = 208330\r\nType = float32\r\n"));
    EXPECT_TRUE(log.endsWith("\n\n[OPTIONNAL]\r\n\r\n"));
}

TEST_F(RecordingFiles, AbandonLeavesHeaderAndDescriptionEmpty)
{
    choose(path(QStringLiteral("essai.dat")));
    std::fwrite("\x01\x02", 1, 2, Principale::Filep);
    w.close_file_set(false);
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::Filep, nullptr);
    EXPECT_EQ(w.Zv, nullptr);
    EXPECT_EQ(w.log, nullptr);
    EXPECT_EQ(sizes(QStringLiteral("essai")), (std::array<qint64, 3>{2, 0, 0}));
    EXPECT_TRUE(Principale::own.pane_text.endsWith(QStringLiteral(".dat\r\n")));
}

// A header or description file of something else beside the chosen name:
// the operator is asked; "Non" keeps it and cancels the choice.
TEST_F(RecordingFiles, ExistingCompanionsAreReplacedOnlyWhenTheOperatorAgrees)
{
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        QFile other(path(QStringLiteral("autre.log")));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("une autre mesure");
        other.close();
        dialogs.replies.push_back(replace);
        choose(path(QStringLiteral("autre.dat")));

        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_EQ(dialogs.questions.takeFirst(),
                  QStringLiteral("Ce fichier existe déjà à côté de autre.dat et serait remplacé : autre.log.\r\n"
                                 "Le remplacer ?"));
        EXPECT_EQ(w.file_open, replace);
        EXPECT_EQ(QFileInfo(path(QStringLiteral("autre.log"))).size(), replace ? 0 : 16);
        EXPECT_EQ(QFileInfo::exists(path(QStringLiteral("autre.dat"))), replace);
    }
    // A recording replaced as a whole: the dialog already asked.
    choose(path(QStringLiteral("autre.dat")));
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(w.file_open);
}

TEST_F(RecordingFiles, AFullDiskIsReportedAndBothFilesAreClosed)
{
    struct Case {
        const char* full;     // the companion on a full device
        const char* written;  // the other one, written in full
        const char* message;
    };
    const Case cases[] = {
        {"a.Zv", "a.log", "Erreur d'écriture du fichier d'en-tête "},
        {"b.log", "b.Zv", "Erreur d'écriture du fichier de description "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.full);
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), path(QString::fromLatin1(c.full))));
        choose(path(QString::fromLatin1(c.full).section(QLatin1Char('.'), 0, 0) +
                    QStringLiteral(".dat")));
        ASSERT_TRUE(w.file_open);
        Principale::own.pane_text.clear();
        w.close_file_set(true);

        EXPECT_TRUE(Principale::own.pane_text.contains(QString::fromUtf8(c.message)));
        EXPECT_TRUE(Principale::own.pane_text.contains(QStringLiteral("disque plein")));
        EXPECT_EQ(Principale::own.pane_text.count(QStringLiteral("\r\n")), 1);
        EXPECT_GT(QFileInfo(path(QString::fromLatin1(c.written))).size(), 2000);
        EXPECT_FALSE(w.file_open);
        EXPECT_EQ(w.Zv, nullptr);
        EXPECT_EQ(w.log, nullptr);
    }
}
