#pragma once
// Maps kept until every one is made (their common scale is known only
// then): their levels in a file of the outputs' folder that has no name
// (gone when they are, however the program ends), their facts in memory, so
// that memory stays that of one map whatever their number.
#include "map/beamformer.h"

#include "recording/temporary_file.h"

#include <cerrno>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace SonivarACQ32::acoustic_map {

class SpilledMaps {
public:
    ~SpilledMaps()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool open(const std::string& folder)
    {
        std::string path;
        fd_ = create_temporary(folder, path);
        return fd_ >= 0 && ::unlink(path.c_str()) == 0;
    }
    void skip() { slots_.emplace_back(); }
    bool put(Map map)
    {
        const auto bytes = map.level_db.size() * sizeof(float);
        const auto* data = reinterpret_cast<const char*>(map.level_db.data());
        // A short write is followed by another, which gives the reason.
        for (std::size_t done = 0; done < bytes;) {
            const ssize_t n = ::pwrite(fd_, data + done, bytes - done, end_ + static_cast<off_t>(done));
            if (n <= 0)
                return errno = n == 0 ? EIO : errno, false;
            done += static_cast<std::size_t>(n);
        }
        slots_.push_back(Slot{std::move(map), end_});
        slots_.back()->facts.level_db = std::vector<float>();  // its memory freed, not kept for reuse
        end_ += static_cast<off_t>(bytes);
        return true;
    }
    // Whether slice k was long enough for a map.
    bool mapped(std::size_t k) const { return slots_[k].has_value(); }
    // The map of a mapped slice k; false with errno.
    bool take(std::size_t k, Map& map) const
    {
        map = slots_[k]->facts;
        map.level_db.resize(static_cast<std::size_t>(map.side) * map.side);
        const auto bytes = map.level_db.size() * sizeof(float);
        return ::pread(fd_, map.level_db.data(), bytes, slots_[k]->offset) == static_cast<ssize_t>(bytes);
    }

private:
    struct Slot {
        Map facts;  // without its levels
        off_t offset = 0;
    };
    int fd_ = -1;
    off_t end_ = 0;
    std::vector<std::optional<Slot>> slots_;
};

} // namespace SonivarACQ32::acoustic_map
