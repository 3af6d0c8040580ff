#pragma once
// The files an export writes. Each is written under a temporary name in
// its destination folder and renamed over the final name once complete, so
// that a failed export leaves no half file under that name.
#include "stream_reader.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace sonivar_dat {

// Why `path` cannot receive an export (French); empty when it can. An
// existing file must be a regular one and none of `inputs`, however it is
// spelled (links, other paths to the same file); its folder must take new
// files, and its name fit the file system.
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

// "écriture impossible de PATH : REASON", the reason from errno.
std::string write_failure(const std::string& path);

// A command's outputs, written together: each one's temporary file is made
// before any computing (a folder that takes no file is known at once), and
// none takes its final name until every one is written, so that a command
// that fails leaves none of them behind.
class OutputGroup {
public:
    // Makes the temporary file of each non-empty path; false with `error`.
    bool create(const std::vector<std::string>& paths, std::string& error);
    // The temporary file standing for `path` (one of those created).
    const std::string& temp_for(const std::string& path) const;
    // Fills the temporary file of `path`; `write` leaves errno set when it
    // fails. False with `error` ("écriture impossible de …").
    template <typename Write>
    bool write(const std::string& path, Write write, std::string& error)
    {
        if (write(temp_for(path)))
            return true;
        error = write_failure(path);
        return false;
    }
    // Gives every file its final name.
    bool commit(std::string& error);

    // Each output with a name written, then every one named; "LABEL : PATH"
    // for each on `out`, or the reason on `err`. The command's exit status.
    struct Named {
        const char* label;
        std::string path;
        std::function<bool(const std::string& temp)> write;
    };
    int write_all(const std::vector<Named>& outputs, std::ostream& out, std::ostream& err);

private:
    std::vector<std::string> paths_;
    std::vector<std::unique_ptr<OutputFile>> files_;
};

} // namespace sonivar_dat
