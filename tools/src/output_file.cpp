#include "output_file.h"

#include "cli.h"
#include "recording/temporary_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace sonivar_dat {
namespace {

namespace fs = std::filesystem;

// Where `path` lands, as the system resolves it: its folder must exist
// (".." after a missing folder does not climb back), the file name is
// joined to the folder's real path, and an existing symbolic link is
// followed to the file it names. Empty with `error` set when it lands
// nowhere.
std::string landing(const std::string& path, std::string& error)
{
    const fs::path p(path);
    const std::string name = p.filename().string();
    if (name.empty() || name == "." || name == "..") {
        error = "ce n'est pas un nom de fichier";
        return {};
    }
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : std::string(".");
    char* real = ::realpath(folder.c_str(), nullptr);
    if (real == nullptr) {
        error = system_reason(errno);
        return {};
    }
    std::string at = std::string(real) + (std::string(real) == "/" ? "" : "/") + name;
    std::free(real);
    struct stat st {};
    if (::lstat(at.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* target = ::realpath(at.c_str(), nullptr)) {
            at = target;
            std::free(target);
        }
    }
    return at;
}

// Why the file `at` (its folder's real path joined to its name) cannot be
// made there: a name longer than its file system takes, or a folder that
// takes no new file (the file goes in under a temporary name, then renamed).
std::string folder_refusal(const std::string& at)
{
    const fs::path p(at);
    const long longest = ::pathconf(p.parent_path().c_str(), _PC_NAME_MAX);
    if (longest > 0 && p.filename().string().size() > static_cast<std::size_t>(longest))
        return "nom trop long (" + std::to_string(longest) + " octets au plus)";
    if (::access(p.parent_path().c_str(), W_OK) != 0)
        return "dossier " + p.parent_path().string() + " : " + system_reason(errno);
    return {};
}

} // namespace

std::string write_failure(const std::string& path)
{
    return "écriture impossible de " + path + " : " + system_reason(errno);
}

bool OutputGroup::create(const std::vector<std::string>& paths, std::string& error)
{
    for (const std::string& path : paths) {
        if (path.empty())
            continue;
        files_.push_back(std::make_unique<OutputFile>());
        paths_.push_back(path);
        if (!files_.back()->create(path, error))
            return false;
    }
    return true;
}

const std::string& OutputGroup::temp_for(const std::string& path) const
{
    const auto at = std::find(paths_.begin(), paths_.end(), path);
    return files_[static_cast<std::size_t>(at - paths_.begin())]->temp_path();
}

bool OutputGroup::commit(std::string& error)
{
    for (auto& file : files_)
        if (!file->commit(error))
            return false;
    return true;
}

int OutputGroup::write_all(const std::vector<Named>& outputs, std::ostream& out, std::ostream& err)
{
    std::string e;
    bool written = true;
    for (const Named& o : outputs)
        written = written && (o.path.empty() || write(o.path, o.write, e));
    if (!written || !commit(e)) {
        err << "sonivar-dat : " << e << "\n";
        return exit_damaged;
    }
    for (const Named& o : outputs)
        if (!o.path.empty())
            out << o.label << " : " << o.path << "\n";
    return exit_ok;
}

std::string output_refusal(const std::string& path, const std::vector<FileIdentity>& inputs)
{
    std::string error;
    const std::string at = landing(path, error);
    if (at.empty())  // the system would not reach it ("missing/../x" does not climb back)
        return "la sortie " + path + " : " + error + " : refusé, rien n'a été écrit";
    if (std::string why = folder_refusal(at); !why.empty())
        return "la sortie " + path + " : " + why + " : refusé, rien n'a été écrit";
    struct stat st {};
    if (::stat(at.c_str(), &st) != 0)
        return {};  // a new file
    for (const FileIdentity& input : inputs)
        if (input == FileIdentity{st.st_dev, st.st_ino})
            return "la sortie " + path + " est un des fichiers que la commande lit : refusé, rien "
                   "n'a été écrit";
    if (!S_ISREG(st.st_mode))
        return "la sortie " + path + " est " + kind_of(st.st_mode) + ", pas un fichier ordinaire";
    return {};
}

bool same_destination(const std::string& a, const std::string& b)
{
    const auto ia = identity_of(a), ib = identity_of(b);
    if (ia && ib)
        return *ia == *ib;
    std::string error;
    const std::string la = landing(a, error), lb = landing(b, error);
    return !la.empty() && la == lb;
}

OutputFile::~OutputFile()
{
    if (!temp_.empty())
        ::unlink(temp_.c_str());
}

bool OutputFile::create(const std::string& final_path, std::string& error)
{
    std::string reason;
    final_ = landing(final_path, reason);
    if (final_.empty()) {
        error = "création impossible de " + final_path + " : " + reason;
        return false;
    }
    const int fd = SonivarACQ32::create_temporary(fs::path(final_).parent_path().string(), temp_);
    if (fd < 0) {
        temp_.clear();
        error = "création impossible de " + final_path + " : " + system_reason(errno);
        return false;
    }
    ::close(fd);
    return true;
}

bool OutputFile::commit(std::string& error)
{
    if (::rename(temp_.c_str(), final_.c_str()) != 0) {
        error = "impossible de nommer " + final_ + " : " + system_reason(errno);
        return false;
    }
    temp_.clear();
    return true;
}

std::vector<FileIdentity> read_files(const Recording& recording, const std::vector<std::string>& others)
{
    auto inputs = input_identities(recording);
    for (const std::string& path : others)
        if (!path.empty())
            if (const auto identity = identity_of(path))
                inputs.push_back(*identity);
    return inputs;
}

std::string outputs_refusal(const Recording& recording, const std::vector<std::string>& outputs,
                            const std::vector<std::string>& also_read)
{
    const auto inputs = read_files(recording, also_read);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i].empty())
            continue;
        if (std::string why = output_refusal(outputs[i], inputs); !why.empty())
            return why;
        for (std::size_t j = i + 1; j < outputs.size(); ++j)
            if (!outputs[j].empty() && same_destination(outputs[i], outputs[j]))
                return "deux sorties nomment le même fichier : " + outputs[i];
    }
    return {};
}

} // namespace sonivar_dat
