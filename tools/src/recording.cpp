#include "recording.h"

#include "platform/ansi.h"
#include "recording/companion_names.h"

#include <QFile>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace sonivar_dat {
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

std::optional<std::string> read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::uint64_t> file_size(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::string read_header(Recording& r)
{
    const auto size = file_size(r.zv_path);
    if (!size)
        return "fichier d'en-tête introuvable : " + r.zv_path;
    if (*size == 0)
        return "fichier d'en-tête vide (acquisition abandonnée avant le déclenchement ?) : " +
               r.zv_path;
    if (*size != sizeof r.header)
        return "fichier d'en-tête de " + std::to_string(*size) + " octets au lieu de " +
               std::to_string(sizeof r.header) + " : " + r.zv_path;
    std::ifstream in(r.zv_path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(&r.header), sizeof r.header))
        return "lecture impossible du fichier d'en-tête : " + r.zv_path;
    return {};
}

// The description must agree with the header on what both say.
std::string read_description(Recording& r)
{
    const auto text = read_text(r.log_path);
    if (!text)
        return "fichier de description introuvable : " + r.log_path;
    if (text->empty())
        return "fichier de description vide : " + r.log_path;
    r.description = parse_description(*text);
    const auto nb_voies = r.description.integer("Nb_voies");
    if (!nb_voies)
        return "ligne \"Nb_voies\" absente ou illisible dans " + r.log_path;
    LayoutResult layout = derive_layout(r.header, *nb_voies);
    if (!layout.layout)
        return "description incohérente (" + r.log_path + ") : " + layout.error;
    r.layout = *layout.layout;
    const auto micros = r.description.integer("Nb_micros_actifs");
    if (micros && *micros != static_cast<long long>(r.layout.micros.size()))
        return "description incohérente (" + r.log_path + ") : Nb_micros_actifs = " +
               std::to_string(*micros) + ", l'en-tête en active " +
               std::to_string(r.layout.micros.size());
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

LoadResult load_recording(const std::string& dat_path)
{
    Recording r;
    r.dat_path = dat_path;
    r.zv_path = companion_of(dat_path, ".Zv");
    r.log_path = companion_of(dat_path, ".log");
    if (r.zv_path.empty())
        return {std::nullopt, "le nom du fichier de données doit contenir \".dat\" : " + dat_path};
    const auto size = file_size(dat_path);
    if (!size)
        return {std::nullopt, "fichier de données introuvable : " + dat_path};
    r.dat_bytes = *size;
    if (std::string e = read_header(r); !e.empty())
        return {std::nullopt, e};
    if (std::string e = read_description(r); !e.empty())
        return {std::nullopt, e};
    return {std::move(r), {}};
}

} // namespace sonivar_dat
