#pragma once
// The files an export writes. Each is written under a temporary name in
// its destination folder and renamed over the final name once complete, so
// that a failed export leaves no half file under that name.
#include "stream_reader.h"

#include <string>
#include <vector>

namespace sonivar_dat {

// Why `path` cannot receive an export (French); empty when it can. An
// existing file must be a regular one and none of `inputs`, however it is
// spelled (links, other paths to the same file).
std::string output_refusal(const std::string& path, const std::vector<FileIdentity>& inputs);

// Whether two output paths name the same file, existing or not.
bool same_destination(const std::string& a, const std::string& b);

// The files a command reads, by identity: the recording's three and
// `others` (a geometry, a calibration; empty or absent ones left out).
std::vector<FileIdentity> read_files(const Recording& recording, const std::vector<std::string>& others);

// Why a command's outputs (empty ones left out) cannot be written: one of
// them is a file it reads (the recording's, or one of `also_read`) or a
// special file, or two name the same file. Empty when they can all be.
std::string outputs_refusal(const Recording& recording, const std::vector<std::string>& outputs,
                            const std::vector<std::string>& also_read = {});

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates an empty temporary file beside `final_path` (beside the file a
    // symbolic link points to). False with `error` set when it cannot.
    bool create(const std::string& final_path, std::string& error);
    const std::string& temp_path() const { return temp_; }
    // Gives the temporary file its final name.
    bool commit(std::string& error);

private:
    std::string temp_;
    std::string final_;
};

// Writes `path` whole or not at all: `write` fills the temporary file it is
// given, which then takes the final name. False when anything failed.
template <typename Write>
bool write_whole(const std::string& path, Write write)
{
    OutputFile file;
    std::string error;
    return file.create(path, error) && write(file.temp_path()) && file.commit(error);
}

} // namespace sonivar_dat
