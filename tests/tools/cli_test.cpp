// The three commands on recordings made with the program's writers, and on
// damaged copies of them.
#include "stream/stream_format.h"
#include "cli.h"
#include "cli_run.h"
#include "recording_maker.h"
#include "picture/camera_video.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testsupport::RecordingPlan;

using testsupport::Outcome;
using testsupport::run;

class Commands : public testing::Test {
protected:
    testsupport::TempDir dir;
};

TEST_F(Commands, InfoShowsHeaderAndDescription)
{
    RecordingPlan plan;
    plan.micros = {3, 19, 31};
    plan.status = true;
    plan.freq = 41666.0f;
    plan.frames = 2000;
    plan.comment = "Mesure en chambre anéchoïque – 2 m\r\nsource à gauche";
    const auto dat = testsupport::write_recording(dir.path(), "essai", plan);
    // The camera's pictures beside it.
    SonivarACQ32::picture::CameraVideoWriter video;
    std::string error;
    ASSERT_TRUE(video.open((dir.path() / "essai.mkv").string(), QSize(64, 48), plan.freq, error,
                           {"Webcam", SonivarACQ32::acoustic_map::CameraGeometry{62.5, 10.0, -60.0, true, 180}}))
        << error;
    for (std::uint64_t frame : {10, 2010, 4010})
        ASSERT_TRUE(video.add(QImage(64, 48, QImage::Format_RGB32), frame, error)) << error;
    ASSERT_TRUE(video.close(error)) << error;
    const Outcome r = run({"info", dat.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* line :
         {"Date : 14/03/2024  Heure : 10:22:05\n", "Fréquence : 41666 Hz (horloge de l'unité : 41666,667 Hz)\n", "Voies par trame : 5\n",
          "Micros actifs : 3\n", "  faisceau 0 : 0/3 (index 3)\n", "  faisceau 2 : 2/3 (index 19)\n",
          "  faisceau 3 : 3/7 (index 31)\n", "Voie compteur : oui (mot 0)\n",
          "Voie status : oui (mot 4, dernier de la trame)\n", "Échantillons par voie : 2 000\n",
          "Durée : 0,048 s\n", "Type : int32\n", "Fichier de données : 40 000 octets (2 000 trames)\n",
          "Vidéo de la caméra : essai.mkv, 3 images de 64 × 48, des trames 10 à 4 010\nCaméra : Webcam\n"
          "Placement de la caméra : champ 62,5°, x = 10 mm, y = -60 mm, miroir, tournée de 180°\n",
          // Windows-1252 in the header, UTF-8 here; the padding is gone.
          "Commentaire : Mesure en chambre anéchoïque – 2 m\n  source à gauche\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\nin:\n" << r.out;
}

TEST_F(Commands, InfoWithoutCommentOrCounter)
{
    RecordingPlan plan;
    plan.counter = false;
    plan.is_float = true;
    const auto dat = testsupport::write_recording(dir.path(), "sans", plan);
    std::ofstream(dir.path() / "sans.mkv") << "pas une vidéo";
    const Outcome r = run({"info", dat.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Voie compteur : non\n"), std::string::npos);
    EXPECT_NE(r.out.find("Voie status : non\n"), std::string::npos);
    EXPECT_NE(r.out.find("Type : float32\n"), std::string::npos);
    EXPECT_NE(r.out.find("Commentaire : (aucun)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Vidéo de la caméra : sans.mkv illisible ("), std::string::npos) << r.out;
}

// A damaged copy of a whole recording.
struct Damage {
    const char* name;
    void (*apply)(const fs::path& dat, const RecordingPlan& plan);
    int code;
    std::vector<std::string> expected;  // pieces of the report (stdout, or stderr on exit 2)
};

// Short, stable test names under ctest.
void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

RecordingPlan base_spec()
{
    RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    plan.frames = 20000;  // 33 words a frame: 2.5 MiB, more than two packets
    return plan;
}

void rewrite(const fs::path& dat, const std::vector<std::uint32_t>& words)
{
    testsupport::write_bytes(dat, words.data(), words.size() * 4);
}

const Damage damages[] = {
    {"whole", [](const fs::path&, const RecordingPlan&) {}, 0,
     {"Trames dans le fichier : 20 000 (en-tête : 20 000)\n", "Résultat : enregistrement complet\n"}},
    {"counter_jump",
     [](const fs::path& dat, const RecordingPlan& s) {
         auto w = testsupport::stream_words(s);
         for (std::size_t f = 12345; f < s.frames; ++f)
             w[f * 33] += 1000;
         rewrite(dat, w);
     },
     1,
     {"Écart à la trame 12 345 (octet 1 629 540) : attendu 12345, trouvé 13345, 1 000 trame(s) "
      "perdue(s)\n",
      "Résultat : enregistrement endommagé (1 écart(s), 1 000 trame(s) perdue(s))\n"}},
    {"dropped_block",
     [](const fs::path& dat, const RecordingPlan& s) {
         auto w = testsupport::stream_words(s);
         // The second 1 MiB packet lost: words 262 144 to 524 287.
         constexpr auto packet = SonivarACQ32::stream::packet_words;
         w.erase(w.begin() + packet, w.begin() + 2 * packet);
         rewrite(dat, w);
     },
     1,
     // Frame 7 944 (word 262 152) meets the hole; the next whole frame after
     // it is frame 15 888 (word 524 304, 524 304 - 262 144 - 262 152 = 8 words
     // on in the damaged file). 397 856 words remain: 12 056 frames and 8 words.
     {"Écart à la trame 7 944 (octet 1 048 608) : attendu 7944, trouvé 15888, 7 944 trame(s) "
      "perdue(s), après 8 mot(s) de trame incomplète\n",
      "Dernière trame tronquée : 32 octet(s) sur 132\n", "longueur incorrecte"}},
    {"truncated_tail",
     [](const fs::path& dat, const RecordingPlan&) { fs::resize_file(dat, fs::file_size(dat) - 10); },
     1,
     {"Trames dans le fichier : 19 999 (en-tête : 20 000)\n",
      "Dernière trame tronquée : 122 octet(s) sur 132\n",
      "Résultat : enregistrement endommagé (0 écart(s), 0 trame(s) perdue(s), longueur incorrecte)\n"}},
    {"interrupted",
     [](const fs::path& dat, const RecordingPlan& s) {
         RecordingPlan cut = s;
         cut.interrupted = true;
         auto w = testsupport::stream_words(s);
         w.resize(w.size() - 3);  // the last frame torn
         testsupport::write_recording(dat.parent_path(), dat.stem().string(), cut, w);
     },
     1,
     {"Trames dans le fichier : 19 999 (en-tête : 0)\n",
      "Enregistrement interrompu : 19 999 trames lisibles\n",
      "Dernière trame tronquée : 120 octet(s) sur 132\n",
      "Résultat : enregistrement interrompu, 19 999 trames lisibles\n"}},
    // The unit unplugged inside a frame: the header counts the whole frames.
    {"cut_inside_a_frame",
     [](const fs::path& dat, const RecordingPlan& s) {
         RecordingPlan cut = s;
         cut.frames = s.frames - 1;
         auto w = testsupport::stream_words(s);
         w.resize(w.size() - 3);
         testsupport::write_recording(dat.parent_path(), dat.stem().string(), cut, w);
     },
     1,
     {"Trames dans le fichier : 19 999 (en-tête : 19 999)\n",
      "Enregistrement interrompu : 19 999 trames lisibles\n",
      "Résultat : enregistrement interrompu, 19 999 trames lisibles\n"}},
    {"interrupted_before_a_frame",
     [](const fs::path& dat, const RecordingPlan& s) {
         RecordingPlan cut = s;
         cut.interrupted = true;
         testsupport::write_recording(dat.parent_path(), dat.stem().string(), cut, {});
     },
     0, {"Trames dans le fichier : 0 (en-tête : 0)\n", "Résultat : enregistrement complet\n"}},
    {"missing_header",
     [](const fs::path& dat, const RecordingPlan&) { fs::remove(fs::path(dat).replace_extension(".Zv")); },
     2, {"fichier d'en-tête introuvable"}},
    {"empty_header",
     [](const fs::path& dat, const RecordingPlan&) { fs::resize_file(fs::path(dat).replace_extension(".Zv"), 0); },
     2, {"fichier d'en-tête vide"}},
    {"missing_description",
     [](const fs::path& dat, const RecordingPlan&) { fs::remove(fs::path(dat).replace_extension(".log")); },
     2, {"fichier de description introuvable"}},
    {"wrong_channel_count",
     [](const fs::path& dat, const RecordingPlan&) {
         const auto log = fs::path(dat).replace_extension(".log");
         auto bytes = testsupport::read_bytes(log);
         std::string text(bytes.begin(), bytes.end());
         const auto at = text.find("Nb_voies = 33");
         text.replace(at, 13, "Nb_voies = 31");
         testsupport::write_bytes(log, text.data(), text.size());
     },
     2, {"description incohérente", "Nb_voies = 31"}},
};

using Check = testsupport::InFreshFolder<Damage>;

TEST_P(Check, ReportsTheDamage)
{
    const Damage& d = GetParam();
    const RecordingPlan plan = base_spec();
    const auto dat = testsupport::write_recording(dir.path(), "essai", plan);
    d.apply(dat, plan);
    const Outcome r = run({"check", dat.string()});
    EXPECT_EQ(r.code, d.code) << r.out << r.err;
    const std::string& report = d.code == 2 ? r.err : r.out;
    for (const std::string& piece : d.expected)
        EXPECT_NE(report.find(piece), std::string::npos) << piece << "\nin:\n" << report;
}

INSTANTIATE_TEST_SUITE_P(Copies, Check, testing::ValuesIn(damages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Commands, CheckWithoutCounterCannotVerify)
{
    RecordingPlan plan;
    plan.counter = false;
    const auto dat = testsupport::write_recording(dir.path(), "sans", plan);
    Outcome r = run({"check", dat.string()});
    EXPECT_EQ(r.code, sonivar_dat::exit_unverified);
    EXPECT_NE(r.out.find("ne peut pas être vérifié"), std::string::npos);
    // The length is still checked.
    fs::resize_file(dat, fs::file_size(dat) - 4);
    r = run({"check", dat.string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Dernière trame tronquée"), std::string::npos);
}

TEST_F(Commands, CompanionsAreFoundInTheFileNameOnly)
{
    const fs::path folder = dir.path() / "campagne.data";
    fs::create_directories(folder);
    const auto dat = testsupport::write_recording(folder, "essai", RecordingPlan{});
    EXPECT_EQ(run({"check", dat.string()}).code, 0);
    const fs::path plain = dir.path() / "essai.raw";
    fs::copy_file(dat, plain);
    const Outcome r = run({"info", plain.string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(".dat"), std::string::npos);
}

TEST_F(Commands, BadArgumentsGiveUsageAndStatus2)
{
    const auto dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{}).string();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"verifie", dat},
        {"check"},
        {"check", dat, "en-trop"},
        {"info", "--wav"},
        {"export", dat},
        {"export", dat, "--wav"},
        {"export", dat, "--wav", "--hdf5", "x.h5"},
        {"export", dat, "--mp3", "x.mp3"},
        {"export", dat, "--wav", "x.wav", "--channels", "3-1"},
        {"export", dat, "--wav", "x.wav", "--channels", "a"},
        {"export", dat, "--wav", "x.wav", "--channels", "8"},  // not recorded
        {"check", (dir.path() / "absent.dat").string()},
    };
    for (const auto& args : bad) {
        const Outcome r = run(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.code, 2) << joined;
        EXPECT_NE(r.err.find("sonivar-dat : "), std::string::npos) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
    }
    EXPECT_FALSE(fs::exists("x.wav"));
}

TEST_F(Commands, HelpForEachCommand)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"info", "--help"}, {"check", "-h"}, {"export", "x.dat", "--help"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out.rfind("Usage : sonivar-dat ", 0), 0u) << r.out;
    }
    EXPECT_NE(run({"export", "--help"}).out.find("--channels"), std::string::npos);
}

TEST(Numbers, FrenchGroupingAndDecimalComma)
{
    EXPECT_EQ(sonivar_dat::grouped(0), "0");
    EXPECT_EQ(sonivar_dat::grouped(999), "999");
    EXPECT_EQ(sonivar_dat::grouped(1000), "1 000");
    EXPECT_EQ(sonivar_dat::grouped(4294967295u), "4 294 967 295");
    EXPECT_EQ(sonivar_dat::decimal(1.25, 1), "1,2");
    EXPECT_EQ(sonivar_dat::decimal(50000, 0), "50000");
}

} // namespace
