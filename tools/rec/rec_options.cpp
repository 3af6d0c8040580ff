#include "rec_options.h"

#include "acquisition/timing.h"
#include "app/principale.h"
#include "recording/comment_limit.h"
#include "selection/channel_map.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace sonivar_rec {

namespace {

using SonivarACQ32::Principale;
using SonivarACQ32::start_trigger::StartSource;
using SonivarACQ32::start_trigger::TriggerMode;
namespace timing = SonivarACQ32::timing;

std::optional<long> whole_number(const std::string& text)
{
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> number(std::string text)
{
    for (char& c : text)
        if (c == ',')
            c = '.';  // "2,5" as the French write it
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

float list_frequency(std::size_t index)
{
    return timing::frequency_from_division_byte(timing::division_byte(Principale::FREQ[index]));
}

std::string frequency_list()
{
    std::string list;
    for (std::size_t i = 0; i < Principale::FREQ.size(); ++i)
        list += (i == 0 ? "" : ", ") + std::to_string(static_cast<long>(list_frequency(i)));
    return list;
}

// The list's entry of `hz` (its frequency, or as the list writes it).
std::optional<int> frequency_index(const std::string& text)
{
    const std::optional<double> hz = number(text);
    for (std::size_t i = 0; hz && i < Principale::FREQ.size(); ++i)
        if (std::abs(*hz - list_frequency(i)) < 1.0)
            return static_cast<int>(i);
    return std::nullopt;
}

struct Trigger {
    StartSource source;
    TriggerMode mode;
};

std::optional<Trigger> trigger(const std::string& text)
{
    if (text == "soft")
        return Trigger{StartSource::Soft, TriggerMode::RisingEdge};
    static const std::map<std::string, TriggerMode> modes{{"rise", TriggerMode::RisingEdge},
                                                         {"fall", TriggerMode::FallingEdge},
                                                         {"high", TriggerMode::High},
                                                         {"low", TriggerMode::Low}};
    if (text.size() < 5 || (text.rfind("in1-", 0) != 0 && text.rfind("in2-", 0) != 0))
        return std::nullopt;
    const auto mode = modes.find(text.substr(4));
    if (mode == modes.end())
        return std::nullopt;
    return Trigger{text[2] == '1' ? StartSource::Trig1 : StartSource::Trig2, mode->second};
}

// The checks that need every option: which go together, what the window
// would refuse.
std::string combination_refusal(const RecOptions& o)
{
    if (o.output.empty())
        return "nom du fichier de données manquant (ou --no-file pour ne rien enregistrer)";
    if (o.duration && o.open_ended)
        return "--duration et --open-ended s'excluent";
    if (o.pascal && !o.stream)
        return "--pascal ne va qu'avec --stream";
    if (o.pascal && o.calib.empty())
        return "--pascal demande un étalonnage (--calib FICHIER)";
    if (!o.calib.empty() && !o.pascal)
        return "--calib ne sert qu'avec --stream --pascal";
    if (o.mics && o.mics->empty())
        return "aucun microphone choisi";
    if (o.duration) {
        const float frequency = list_frequency(static_cast<std::size_t>(o.freq_index));
        const double longest = std::min<double>(300.0, timing::max_duration(frequency));
        if (!(*o.duration > 0.0) || *o.duration > longest + 1e-9)
            return "durée hors limites : de 0,1 à " + std::to_string(static_cast<long>(longest)) + " s";
        if (std::abs(*o.duration * 10.0 - std::round(*o.duration * 10.0)) > 1e-6)
            return "durée au dixième de seconde près";
    }
    return {};
}

} // namespace

std::optional<std::vector<int>> parse_mic_list(const std::string& text)
{
    std::set<int> chosen;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string part = text.substr(from, comma - from);
        const std::size_t dash = part.find('-');
        const auto low = whole_number(part.substr(0, dash));
        const auto high = dash == std::string::npos ? low : whole_number(part.substr(dash + 1));
        if (!low || !high || *low < 0 || *high >= SonivarACQ32::channels::nb_mics || *low > *high)
            return std::nullopt;
        for (long m = *low; m <= *high; ++m)
            chosen.insert(static_cast<int>(m));
        from = comma + 1;
    }
    return std::vector<int>(chosen.begin(), chosen.end());
}

Parsed parse_rec_options(const std::vector<std::string>& args)
{
    RecOptions o;
    bool no_file = false;
    auto refuse = [](std::string reason) { return Parsed{std::nullopt, std::move(reason)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        const std::string value = has_value ? args[i + 1] : std::string();
        auto needs_value = [&] { return !has_value ? "option " + a + " : valeur manquante" : std::string(); };
        if (a == "-h" || a == "--help") {
            o.help = true;
            return Parsed{o, {}};
        } else if (a == "--no-counter") {
            o.counter = false;
        } else if (a == "--status") {
            o.status = true;
        } else if (a == "--open-ended") {
            o.open_ended = true;
        } else if (a == "--float") {
            o.is_float = true;
        } else if (a == "--no-file") {
            no_file = true;
        } else if (a == "--stream") {
            o.stream = true;
        } else if (a == "--pascal") {
            o.pascal = true;
        } else if (a == "--replace") {
            o.replace = true;
        } else if (a == "--freq" || a == "--mics" || a == "--duration" || a == "--trigger" ||
                   a == "--comment" || a == "--calib") {
            if (const std::string missing = needs_value(); !missing.empty())
                return refuse(missing);
            ++i;
            if (a == "--freq") {
                const auto index = frequency_index(value);
                if (!index)
                    return refuse("fréquence " + value + " Hz inconnue ; au choix : " + frequency_list());
                o.freq_index = *index;
            } else if (a == "--mics") {
                if (!(o.mics = parse_mic_list(value)))
                    return refuse("liste de microphones illisible : " + value + " (ex. 0-7,12,30-31 ; de 0 à 31)");
            } else if (a == "--duration") {
                if (!(o.duration = number(value)))
                    return refuse("durée illisible : " + value);
            } else if (a == "--trigger") {
                const auto t = trigger(value);
                if (!t)
                    return refuse("déclenchement inconnu : " + value +
                                  " (soft, in1-rise, in1-fall, in1-high, in1-low, in2-…)");
                o.source = t->source;
                o.mode = t->mode;
            } else if (a == "--comment") {
                const std::u16string text = QString::fromStdString(value).toStdU16String();
                if (SonivarACQ32::comment_length(text) > SonivarACQ32::taille_commentaire)
                    return refuse("commentaire trop long : " + std::to_string(SonivarACQ32::taille_commentaire) +
                                  " caractères au plus (un saut de ligne en compte deux)");
                o.comment = value;
            } else {
                o.calib = value;
            }
        } else if (!a.empty() && a[0] == '-') {
            return refuse("option inconnue : " + a);
        } else if (o.output.empty()) {
            o.output = a;
        } else {
            return refuse("un seul fichier de données : " + a + " en trop");
        }
    }
    if (no_file && !o.output.empty())
        return refuse("--no-file et un nom de fichier s'excluent");
    if (o.freq_index < 0)
        o.freq_index = 0;
    if (no_file)
        o.output = "-";  // checked as given, then cleared
    if (const std::string why = combination_refusal(o); !why.empty())
        return refuse(why);
    if (no_file)
        o.output.clear();
    return Parsed{o, {}};
}

} // namespace sonivar_rec

namespace sonivar_rec {

std::string help_text()
{
    return "usage : sonivar-rec FICHIER.dat [options]\n"
           "        sonivar-rec --no-file [options]\n"
           "Une acquisition du Sonivar 32 sans fenêtre : la même que celle du programme\n"
           "(Init, réglages, Start, attente du déclenchement, fichiers .dat, .Zv et .log).\n"
           "Les lignes du panneau d'information s'affichent au fil de l'eau ; Ctrl+C ou\n"
           "SIGTERM arrêtent l'acquisition comme le bouton Stop (fichiers complets) ;\n"
           "pendant l'attente d'un déclenchement, un second Ctrl+C l'abandonne.\n"
           "\n"
           "  --freq HZ          fréquence d'échantillonnage, une de la liste du programme\n"
           "                     (50000, 45454, ... 2000 ; par défaut 50000)\n"
           "  --mics LISTE       microphones (indices globaux 0 à 31), ex. 0-7,12,30-31\n"
           "                     (par défaut tous)\n"
           "  --no-counter       sans la voie compteur\n"
           "  --status           avec la voie status (entrées externes)\n"
           "  --duration S       durée définie, au dixième de seconde (par défaut 5 s)\n"
           "  --open-ended       durée non définie : jusqu'à Ctrl+C ou la limite du disque\n"
           "  --float            échantillons en flottants 32 bits (par défaut entiers)\n"
           "  --trigger T        départ : soft (par défaut), in1-rise, in1-fall, in1-high,\n"
           "                     in1-low, in2-rise, in2-fall, in2-high, in2-low\n"
           "  --comment TEXTE    commentaire de l'enregistrement\n"
           "  --no-file          rien d'enregistré (le flux seul)\n"
           "  --replace          remplace un enregistrement existant de ce nom\n"
           "  --stream           diffuse le flux : source PipeWire « Sonivar 32 »\n"
           "  --pascal           le flux diffusé en pascal (avec --calib FICHIER)\n"
           "  --calib FICHIER    étalonnage (XML) pour --pascal\n"
           "  -h, --help         ce texte\n"
           "\n"
           "Code de sortie : 0 acquisition complète (ou arrêtée par Ctrl+C), 1 écourtée\n"
           "(boîtier perdu, disque, erreur d'écriture ou de compteur, départ refusé),\n"
           "2 arguments invalides (rien n'est envoyé au boîtier), 3 pas de boîtier.\n";
}

} // namespace sonivar_rec
