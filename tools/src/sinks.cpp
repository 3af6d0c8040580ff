#include "sinks.h"

#include <hdf5.h>
#include <sndfile.h>

namespace sonivar_dat {

bool wav_needs_rf64(std::uint64_t frames, std::size_t channels)
{
    // Room kept for the header chunks within the 32-bit RIFF size.
    constexpr std::uint64_t header_room = 64 * 1024;
    const std::uint64_t data = frames * channels * 4;
    return data > UINT32_MAX - header_room;
}

struct WavSink::File {
    SNDFILE* sf = nullptr;
    std::size_t channels = 0;
};

WavSink::WavSink() : file_(std::make_unique<File>()) {}

WavSink::~WavSink()
{
    if (file_->sf != nullptr)
        sf_close(file_->sf);
}

bool WavSink::open(const std::string& path, std::size_t channels, int sample_rate,
                   bool samples_are_float, bool rf64, std::string& error)
{
    SF_INFO info{};
    info.samplerate = sample_rate;
    info.channels = static_cast<int>(channels);
    info.format = (rf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) |
                  (samples_are_float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_32);
    file_->sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_->sf == nullptr) {
        error = "création impossible de " + path + " : " + sf_strerror(nullptr);
        return false;
    }
    file_->channels = channels;
    // Samples go in as raw little-endian words, already in the file's
    // encoding, so libsndfile has no peak values to gather.
    sf_command(file_->sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return true;
}

bool WavSink::write(const void* frames, std::size_t count, std::string& error)
{
    // Both encodings are 32-bit little-endian words, as the host holds them.
    const auto bytes = static_cast<sf_count_t>(count * file_->channels * 4);
    if (sf_write_raw(file_->sf, frames, bytes) != bytes) {
        error = std::string("écriture WAV incomplète : ") + sf_strerror(file_->sf);
        return false;
    }
    return true;
}

bool WavSink::close(std::string& error)
{
    SNDFILE* sf = file_->sf;
    file_->sf = nullptr;
    if (sf != nullptr && sf_close(sf) != 0) {
        error = "fermeture du fichier WAV en erreur";
        return false;
    }
    return true;
}

struct Hdf5Sink::File {
    hid_t file = H5I_INVALID_HID;
    hid_t dataset = H5I_INVALID_HID;
    std::uint64_t row = 0;
    std::size_t channels = 0;

    void release()
    {
        if (dataset != H5I_INVALID_HID)
            H5Dclose(dataset);
        if (file != H5I_INVALID_HID)
            H5Fclose(file);
        dataset = file = H5I_INVALID_HID;
    }
};

Hdf5Sink::Hdf5Sink() : file_(std::make_unique<File>()) {}

Hdf5Sink::~Hdf5Sink() { file_->release(); }

namespace {

bool write_sample_freq(hid_t dataset, double sample_freq)
{
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t attr =
        H5Acreate2(dataset, "sample_freq", H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT);
    const bool ok = attr >= 0 && H5Awrite(attr, H5T_NATIVE_DOUBLE, &sample_freq) >= 0;
    if (attr >= 0)
        H5Aclose(attr);
    H5Sclose(space);
    return ok;
}

} // namespace

bool Hdf5Sink::open(const std::string& path, std::uint64_t frames, std::size_t channels,
                    double sample_freq, std::string& error)
{
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);  // failures are reported here, in French
    File& f = *file_;
    f.channels = channels;
    f.file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (f.file < 0) {
        error = "création impossible de " + path;
        return false;
    }
    const hsize_t dims[2] = {frames, channels};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    f.dataset = H5Dcreate2(f.file, "time_data", H5T_IEEE_F32LE, space, H5P_DEFAULT, H5P_DEFAULT,
                           H5P_DEFAULT);
    H5Sclose(space);
    if (f.dataset < 0 || !write_sample_freq(f.dataset, sample_freq)) {
        error = "création impossible du jeu de données time_data dans " + path;
        f.release();
        return false;
    }
    return true;
}

bool Hdf5Sink::add_positions(const std::vector<double>& xyz, std::string& error)
{
    File& f = *file_;
    const hsize_t dims[2] = {f.channels, 3};
    const hid_t space = H5Screate_simple(2, dims, nullptr);
    const hid_t attr = H5Acreate2(f.dataset, "microphone_positions", H5T_IEEE_F64LE, space,
                                  H5P_DEFAULT, H5P_DEFAULT);
    const bool ok = xyz.size() == f.channels * 3 && attr >= 0 &&
                    H5Awrite(attr, H5T_NATIVE_DOUBLE, xyz.data()) >= 0;
    if (attr >= 0)
        H5Aclose(attr);
    H5Sclose(space);
    if (!ok)
        error = "écriture impossible de l'attribut microphone_positions";
    return ok;
}

bool Hdf5Sink::write(const float* rows, std::size_t count, std::string& error)
{
    File& f = *file_;
    if (count == 0)
        return true;
    const hsize_t start[2] = {f.row, 0};
    const hsize_t block[2] = {count, f.channels};
    const hid_t file_space = H5Dget_space(f.dataset);
    const hid_t memory_space = H5Screate_simple(2, block, nullptr);
    const bool ok =
        H5Sselect_hyperslab(file_space, H5S_SELECT_SET, start, nullptr, block, nullptr) >= 0 &&
        H5Dwrite(f.dataset, H5T_NATIVE_FLOAT, memory_space, file_space, H5P_DEFAULT, rows) >= 0;
    H5Sclose(memory_space);
    H5Sclose(file_space);
    if (!ok) {
        error = "écriture HDF5 en erreur";
        return false;
    }
    f.row += count;
    return true;
}

bool Hdf5Sink::close(std::string& error)
{
    File& f = *file_;
    const bool ok = (f.dataset == H5I_INVALID_HID || H5Dclose(f.dataset) >= 0) &&
                    (f.file == H5I_INVALID_HID || H5Fclose(f.file) >= 0);
    f.dataset = f.file = H5I_INVALID_HID;
    if (!ok)
        error = "fermeture du fichier HDF5 en erreur";
    return ok;
}

} // namespace sonivar_dat
