#include "stream/recording.h"

#include "stream/header_facts.h"
#include "platform/ansi.h"
#include "recording/companion_names.h"

#include <QFile>

#include <cerrno>
#include <cstring>

namespace SonivarACQ32::stream {
namespace {

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Opens a companion file and reads it whole when it holds at most `limit`
// bytes; `size` is its length either way.
std::string read_small(const std::string& path, const char* what, std::uint64_t limit,
                       std::string& text, std::uint64_t& size, FileIdentity& identity)
{
    InputFile file;
    std::string error;
    if (!file.open(path, what, error))
        return error;
    identity = file.identity();
    size = file.size();
    if (size > limit)
        return {};
    text.resize(static_cast<std::size_t>(size));
    const long long got = file.read(text.data(), text.size());
    if (got < 0)
        return std::string(what) + " illisible : " + path + " (" + system_reason(errno) + ")";
    text.resize(static_cast<std::size_t>(got));
    size = text.size();
    return {};
}

std::string read_header(Recording& r)
{
    std::string bytes;
    std::uint64_t size = 0;
    if (std::string e = read_small(r.zv_path, "fichier d'en-tête", sizeof r.header, bytes, size,
                                   r.zv_id);
        !e.empty())
        return e;
    if (size == 0)
        return "fichier d'en-tête vide (acquisition abandonnée avant le déclenchement ?) : " +
               r.zv_path;
    if (size != sizeof r.header)
        return "fichier d'en-tête de " + std::to_string(size) + " octets au lieu de " +
               std::to_string(sizeof r.header) + " : " + r.zv_path;
    std::memcpy(&r.header, bytes.data(), sizeof r.header);
    if (std::string e = header_fault(r.header); !e.empty())
        return e + " : " + r.zv_path;
    return {};
}

// The description must agree with the header on what both say.
std::string description_disagreement(const Recording& r)
{
    const auto micros = r.description.integer("Nb_micros_actifs");
    if (micros && *micros != static_cast<long long>(r.layout.micros.size()))
        return "Nb_micros_actifs = " + std::to_string(*micros) + ", l'en-tête en active " +
               std::to_string(r.layout.micros.size());
    int counters = 0;
    for (std::uint8_t c : r.header.compteurs_actifs)
        counters += c;
    const auto described = r.description.integer("Nb_compteurs");
    if (described && *described != counters)
        return "Nb_compteurs = " + std::to_string(*described) + ", l'en-tête en active " +
               std::to_string(counters);
    return {};
}

std::string read_description(Recording& r)
{
    std::string text;
    std::uint64_t size = 0;
    if (std::string e = read_small(r.log_path, "fichier de description", max_description_bytes,
                                   text, size, r.log_id);
        !e.empty())
        return e;
    if (size > max_description_bytes)
        return "fichier de description trop grand pour en être un (" + std::to_string(size) +
               " octets, au plus " + std::to_string(max_description_bytes) + ") : " + r.log_path;
    if (text.empty())
        return "fichier de description vide : " + r.log_path;
    r.description = parse_description(text);
    const auto nb_voies = r.description.integer("Nb_voies");
    if (!nb_voies)
        return "ligne \"Nb_voies\" absente ou illisible dans " + r.log_path;
    LayoutResult layout = derive_layout(r.header, *nb_voies);
    if (!layout.layout)
        return "description incohérente (" + r.log_path + ") : " + layout.error;
    r.layout = *layout.layout;
    if (std::string e = description_disagreement(r); !e.empty())
        return "description incohérente (" + r.log_path + ") : " + e;
    return {};
}

} // namespace

std::string windows1252_to_utf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char ch : text)
        append_utf8(out, SonivarACQ32::platform::from_windows1252(static_cast<unsigned char>(ch)));
    return out;
}

std::string header_comment(const SonivarACQ32::type_header_file& header)
{
    const char* bytes = reinterpret_cast<const char*>(header.texte_commentaire);
    std::string_view text(bytes, strnlen(bytes, sizeof header.texte_commentaire));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return windows1252_to_utf8(text);
}

std::string companion_of(const std::string& dat_path, const char* extension)
{
    const QString path = QFile::decodeName(QByteArray::fromStdString(dat_path));
    if (SonivarACQ32::data_file_path(path) != path)
        return {};
    return QFile::encodeName(SonivarACQ32::companion_path(path, QString::fromLatin1(extension)))
        .toStdString();
}

bool is_interrupted(const Recording& r)
{
    const std::uint64_t frame = r.layout.frame_bytes();
    const bool torn_after_its_frames =
        frame != 0 && r.dat_bytes % frame != 0 && r.dat_bytes / frame == r.header.nb_ech;
    return (r.header.nb_ech == 0 && r.dat_bytes > 0) || torn_after_its_frames;
}

std::string recording_comment(const Recording& r)
{
    std::string_view text = r.description.commentaire;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text.empty() ? header_comment(r.header) : std::string(text);
}

std::vector<FileIdentity> input_identities(const Recording& r)
{
    return {r.dat_id, r.zv_id, r.log_id};
}

LoadResult load_recording(const std::string& dat_path)
{
    Recording r;
    r.dat_path = dat_path;
    r.zv_path = companion_of(dat_path, ".Zv");
    r.log_path = companion_of(dat_path, ".log");
    if (r.zv_path.empty())
        return {std::nullopt, "le nom du fichier de données doit contenir \".dat\" : " + dat_path};
    {
        InputFile dat;
        std::string error;
        if (!dat.open(dat_path, "fichier de données", error))
            return {std::nullopt, error};
        r.dat_bytes = dat.size();
        r.dat_id = dat.identity();
    }
    if (std::string e = read_header(r); !e.empty())
        return {std::nullopt, e};
    if (std::string e = read_description(r); !e.empty())
        return {std::nullopt, e};
    return {std::move(r), {}};
}

} // namespace SonivarACQ32::stream
