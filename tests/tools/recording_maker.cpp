#include "recording_maker.h"

#include "recording/comment.h"
#include "recording/description.h"

#include <QLocale>
#include <QString>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testsupport {

std::uint32_t sample_word(int mic, std::uint64_t frame, bool is_float)
{
    const double v = 1000.0 * (mic + 1) * std::sin(0.01 * static_cast<double>(frame) + mic);
    if (is_float) {
        const float f = static_cast<float>(v / 4096.0);
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return bits;
    }
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v)) * 65536 +
                                      static_cast<std::int32_t>(frame % 65536) - mic);
}

std::vector<std::uint32_t> stream_words(const RecordingPlan& plan)
{
    std::vector<std::uint32_t> words;
    words.reserve(static_cast<std::size_t>(plan.frames) * plan.nb_voies());
    for (std::uint32_t f = 0; f < plan.frames; ++f) {
        if (plan.counter)
            words.push_back(plan.first_counter + f);
        for (int m : plan.micros)
            words.push_back(sample_word(m, f, plan.is_float));
        if (plan.status)
            words.push_back(0x3u);
    }
    return words;
}

SonivarACQ32::type_header_file header_for(const RecordingPlan& plan)
{
    SonivarACQ32::type_header_file h{};
    h.date = {2024, 3, 4, 14, 10, 22, 5, 250};
    for (int m : plan.micros)
        h.micros_actifs[m] = 1;
    h.compteurs_actifs[0] = plan.counter ? 1 : 0;
    h.freq = plan.freq;
    h.nb_ech = plan.interrupted ? 0 : plan.frames;
    h.duree_acq =
        plan.interrupted ? 0.0f : static_cast<float>(static_cast<double>(plan.frames) / plan.freq);
    h.type_float = plan.is_float ? 1 : 0;
    if (plan.comment.empty()) {
        std::memset(h.texte_commentaire, ' ', sizeof h.texte_commentaire);
    } else {
        const auto field = SonivarACQ32::comment_field(
            SonivarACQ32::padded_comment(QString::fromStdString(plan.comment)));
        std::memcpy(h.texte_commentaire, field.data(), field.size());
    }
    return h;
}

void write_bytes(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::filesystem::path write_recording(const std::filesystem::path& dir, const std::string& name,
                                      const RecordingPlan& plan,
                                      const std::vector<std::uint32_t>& words)
{
    const auto dat = dir / (name + ".dat");
    write_bytes(dat, words.data(), words.size() * 4);
    const SonivarACQ32::type_header_file h = header_for(plan);
    write_bytes(dir / (name + ".Zv"), &h, sizeof h);
    const QString commentaire =
        plan.comment.empty() ? QString()
                             : SonivarACQ32::padded_comment(QString::fromStdString(plan.comment));
    const QByteArray log =
        SonivarACQ32::description_text(h, plan.nb_voies(), static_cast<int>(plan.micros.size()),
                                       commentaire, QLocale(QLocale::French))
            .toUtf8();
    write_bytes(dir / (name + ".log"), log.constData(), static_cast<std::size_t>(log.size()));
    return dat;
}

std::filesystem::path write_recording(const std::filesystem::path& dir, const std::string& name,
                                      const RecordingPlan& plan)
{
    return write_recording(dir, name, plan, stream_words(plan));
}

TempDir::TempDir()
{
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("sonivar-dat-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace testsupport
