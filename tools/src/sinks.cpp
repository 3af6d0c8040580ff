#include "sinks.h"

#include "stream_reader.h"

#include "stream/float_wav.h"

#include <hdf5.h>
#include <sndfile.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace sonivar_dat {
namespace {

// A library failure for the operator: the system's reason first when there
// is one, the library's own words after it.
std::string failure(const char* library, const std::string& detail)
{
    const int err = errno;
    const std::string own = std::string("(") + library + " : " + detail + ")";
    return (err != 0 ? system_reason(err) : std::string("erreur de la bibliothèque")) + " " + own;
}

} // namespace

bool wav_needs_rf64(std::uint64_t frames, std::size_t channels)
{
    // Room kept for the header chunks within the 32-bit RIFF size.
    constexpr std::uint64_t header_room = 64 * 1024;
    const std::uint64_t data = frames * channels * 4;
    return data > UINT32_MAX - header_room;
}

int wav_format(std::size_t channels, bool samples_are_float, bool rf64)
{
    const int container = rf64 ? SF_FORMAT_RF64 : channels > 2 ? SF_FORMAT_WAVEX : SF_FORMAT_WAV;
    return container | (samples_are_float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_32);
}

struct WavSink::File {
    SNDFILE* sf = nullptr;
    std::FILE* own = nullptr;  // a float WAV written here, header included
    std::uint64_t frames = 0;
    std::size_t channels = 0;
    int rate = 0;
};

WavSink::WavSink() : file_(std::make_unique<File>()) {}

WavSink::~WavSink()
{
    if (file_->sf != nullptr)
        sf_close(file_->sf);
    if (file_->own != nullptr)
        std::fclose(file_->own);
}

bool WavSink::open(const std::string& path, std::size_t channels, int sample_rate,
                   bool samples_are_float, bool rf64, std::string& error)
{
    file_->channels = channels;
    file_->rate = sample_rate;
    if (samples_are_float && !rf64) {
        errno = 0;
        file_->own = std::fopen(path.c_str(), "wb");
        const auto header = SonivarACQ32::stream::float_wav_header(channels, sample_rate, 0);
        if (file_->own == nullptr || std::fwrite(header.data(), 1, header.size(), file_->own) != header.size()) {
            error = "création impossible : " + failure("stdio", "fopen");
            return false;
        }
        return true;
    }
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = static_cast<int>(channels);
    info.format = wav_format(channels, samples_are_float, rf64);
    errno = 0;
    file_->sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_->sf == nullptr) {
        error = "création impossible : " + failure("libsndfile", sf_strerror(nullptr));
        return false;
    }
    // Samples go in as raw little-endian words, already in the file's
    // encoding, so libsndfile has no peak values to gather.
    sf_command(file_->sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return true;
}

bool WavSink::write(const void* frames, std::size_t count, std::string& error)
{
    // Both encodings are 32-bit little-endian words, as the host holds them.
    const auto bytes = static_cast<sf_count_t>(count * file_->channels * 4);
    errno = 0;
    if (file_->own != nullptr) {
        if (std::fwrite(frames, 1, static_cast<std::size_t>(bytes), file_->own) != static_cast<std::size_t>(bytes)) {
            error = "écriture incomplète : " + failure("stdio", "fwrite");
            return false;
        }
        file_->frames += count;
        return true;
    }
    if (sf_write_raw(file_->sf, frames, bytes) != bytes) {
        error = "écriture incomplète : " + failure("libsndfile", sf_strerror(file_->sf));
        return false;
    }
    return true;
}

bool WavSink::close(std::string& error)
{
    if (std::FILE* own = std::exchange(file_->own, nullptr)) {
        errno = 0;
        const auto header = SonivarACQ32::stream::float_wav_header(file_->channels, file_->rate, file_->frames);
        const bool written = std::fseek(own, 0, SEEK_SET) == 0 &&
                             std::fwrite(header.data(), 1, header.size(), own) == header.size();
        const bool closed = std::fclose(own) == 0;
        if (!written || !closed)
            error = "fermeture en erreur : " + failure("stdio", "fclose");
        return written && closed;
    }
    SNDFILE* sf = file_->sf;
    file_->sf = nullptr;
    errno = 0;
    if (sf != nullptr && sf_close(sf) != 0) {
        error = "fermeture en erreur : " + failure("libsndfile", "sf_close");
        return false;
    }
    return true;
}

namespace {

// An HDF5 identifier closed on every path out of the scope that holds it.
class Handle {
public:
    Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
    ~Handle() { reset(); }
    Handle(Handle&& other) noexcept : id_(std::exchange(other.id_, H5I_INVALID_HID)), close_(other.close_) {}
    Handle& operator=(Handle&& other) noexcept
    {
        reset();
        id_ = std::exchange(other.id_, H5I_INVALID_HID);
        close_ = other.close_;
        return *this;
    }
    hid_t get() const { return id_; }
    bool ok() const { return id_ >= 0; }
    // Closes now; false when closing failed.
    bool reset()
    {
        const bool closed = id_ < 0 || close_(id_) >= 0;
        id_ = H5I_INVALID_HID;
        return closed;
    }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

// Each fact is written twice: as an attribute of time_data, and as a
// dataset of the /metadata group, which the field's Python tools load as
// the recording's metadata.
bool write_fact(hid_t object, hid_t group, const char* name, hid_t type, hid_t space, const void* data)
{
    const Handle attr(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    const Handle set(H5Dcreate2(group, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Dclose);
    return attr.ok() && H5Awrite(attr.get(), type, data) >= 0 && set.ok() &&
           H5Dwrite(set.get(), type, H5S_ALL, H5S_ALL, H5P_DEFAULT, data) >= 0;
}

bool write_double(hid_t object, hid_t group, const char* name, double value)
{
    const Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    return space.ok() && write_fact(object, group, name, H5T_NATIVE_DOUBLE, space.get(), &value);
}

bool write_int32s(hid_t object, hid_t group, const char* name, const std::vector<int>& values)
{
    const std::vector<std::int32_t> data(values.begin(), values.end());
    const hsize_t n = data.size();
    const Handle space(H5Screate_simple(1, &n, nullptr), H5Sclose);
    return space.ok() && write_fact(object, group, name, H5T_NATIVE_INT32, space.get(), data.data());
}

// rows x columns doubles, row after row.
bool write_doubles(hid_t object, hid_t group, const char* name, const std::vector<double>& values,
                   hsize_t rows, hsize_t columns)
{
    const hsize_t dims[2] = {rows, columns};
    const Handle space(H5Screate_simple(rows == 1 ? 1 : 2, rows == 1 ? dims + 1 : dims, nullptr), H5Sclose);
    return values.size() == rows * columns && space.ok() &&
           write_fact(object, group, name, H5T_NATIVE_DOUBLE, space.get(), values.data());
}

// A fixed-length UTF-8 string, which every HDF5 reader maps to text.
bool write_text(hid_t object, hid_t group, const char* name, const std::string& text)
{
    const Handle type(H5Tcopy(H5T_C_S1), H5Tclose);
    const Handle space(H5Screate(H5S_SCALAR), H5Sclose);
    return type.ok() && space.ok() && H5Tset_size(type.get(), text.size() + 1) >= 0 &&
           H5Tset_strpad(type.get(), H5T_STR_NULLTERM) >= 0 &&
           H5Tset_cset(type.get(), H5T_CSET_UTF8) >= 0 &&
           write_fact(object, group, name, type.get(), space.get(), text.c_str());
}

bool write_facts(hid_t dataset, hid_t group, const Hdf5Facts& facts)
{
    return write_double(dataset, group, "sample_freq", facts.sample_freq) &&
           write_int32s(dataset, group, "microphones", facts.microphones) &&
           write_text(dataset, group, "sample_type", facts.sample_type) &&
           write_text(dataset, group, "comment", facts.comment) &&
           write_text(dataset, group, "start_time", facts.start_time);
}

} // namespace

struct Hdf5Sink::File {
    Handle file{H5I_INVALID_HID, H5Fclose};
    Handle dataset{H5I_INVALID_HID, H5Dclose};
    Handle metadata{H5I_INVALID_HID, H5Gclose};
    std::uint64_t row = 0;
    std::size_t channels = 0;
};

Hdf5Sink::Hdf5Sink() : file_(std::make_unique<File>()) {}

// The dataset before the file, as HDF5 wants them closed.
Hdf5Sink::~Hdf5Sink()
{
    file_->metadata.reset();
    file_->dataset.reset();
    file_->file.reset();
}

bool Hdf5Sink::open(const std::string& path, std::uint64_t frames, const Hdf5Facts& facts,
                    std::string& error)
{
    // A file whose closing failed (a full disk) stays open inside the
    // library, and the library's own exit handler then crashes closing it
    // again. Every file is closed here, on every path: the library has no
    // closing of its own to do at exit. Set before the library starts.
    H5dont_atexit();
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);  // failures are reported here, in French
    File& f = *file_;
    f.channels = facts.microphones.size();
    errno = 0;
    f.file = Handle(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), H5Fclose);
    if (!f.file.ok()) {
        error = "création impossible : " + failure("libhdf5", "H5Fcreate");
        return false;
    }
    const hsize_t dims[2] = {frames, f.channels};
    const Handle space(H5Screate_simple(2, dims, nullptr), H5Sclose);
    f.dataset = Handle(space.ok() ? H5Dcreate2(f.file.get(), "time_data", H5T_IEEE_F32LE,
                                               space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT)
                                  : H5I_INVALID_HID,
                       H5Dclose);
    f.metadata = Handle(H5Gcreate2(f.file.get(), "metadata", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
    if (!f.dataset.ok() || !f.metadata.ok() || !write_facts(f.dataset.get(), f.metadata.get(), facts)) {
        error = "création impossible du jeu de données time_data : " +
                failure("libhdf5", "H5Dcreate2/H5Acreate2");
        return false;
    }
    return true;
}

// Stored 3 x N, x of every microphone then y then z, as the field's tools
// read an array's positions.
bool Hdf5Sink::add_positions(const std::vector<double>& xyz, std::string& error)
{
    File& f = *file_;
    std::vector<double> rows(xyz.size());
    for (std::size_t c = 0; c < f.channels && 3 * c + 2 < xyz.size(); ++c)
        for (std::size_t axis = 0; axis < 3; ++axis)
            rows[axis * f.channels + c] = xyz[3 * c + axis];
    const bool ok = xyz.size() == f.channels * 3 &&
                    write_doubles(f.dataset.get(), f.metadata.get(), "microphone_positions", rows, 3, f.channels);
    if (!ok)
        error = "écriture impossible de l'attribut microphone_positions";
    return ok;
}

bool Hdf5Sink::add_calibration(const std::vector<double>& factors, const std::string& unit, std::string& error)
{
    File& f = *file_;
    const bool ok = factors.size() == f.channels &&
                    write_doubles(f.dataset.get(), f.metadata.get(), "calibration_factors", factors, 1, f.channels) &&
                    write_text(f.dataset.get(), f.metadata.get(), "calibration_unit", unit);
    if (!ok)
        error = "écriture impossible de l'étalonnage";
    return ok;
}

bool Hdf5Sink::write(const float* rows, std::size_t count, std::string& error)
{
    File& f = *file_;
    if (count == 0)
        return true;
    const hsize_t start[2] = {f.row, 0};
    const hsize_t block[2] = {count, f.channels};
    const Handle file_space(H5Dget_space(f.dataset.get()), H5Sclose);
    const Handle memory_space(H5Screate_simple(2, block, nullptr), H5Sclose);
    errno = 0;
    const bool ok = file_space.ok() && memory_space.ok() &&
                    H5Sselect_hyperslab(file_space.get(), H5S_SELECT_SET, start, nullptr, block,
                                        nullptr) >= 0 &&
                    H5Dwrite(f.dataset.get(), H5T_NATIVE_FLOAT, memory_space.get(),
                             file_space.get(), H5P_DEFAULT, rows) >= 0;
    if (!ok) {
        error = "écriture en erreur : " + failure("libhdf5", "H5Dwrite");
        return false;
    }
    f.row += count;
    return true;
}

bool Hdf5Sink::close(std::string& error)
{
    file_->metadata.reset();
    File& f = *file_;
    errno = 0;
    const bool dataset_closed = f.dataset.reset();
    const bool file_closed = f.file.reset();  // closed even when the dataset failed to
    if (!dataset_closed || !file_closed)
        error = "fermeture en erreur : " + failure("libhdf5", "H5Fclose");
    return dataset_closed && file_closed;
}

} // namespace sonivar_dat
