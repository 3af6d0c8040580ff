#pragma once
// A piece of the platform that tests replace: the clock, the dialogs, the
// free-space probe, the regional settings. Each holds its standard value
// and the one in force; `install` puts a stand-in in force, `restore` puts
// the standard one back. Every seam of the program works this way.
#include <utility>

namespace SonivarACQ32::platform {

template <typename T>
class Seam {
public:
    explicit Seam(T standard) : standard_(standard), current_(std::move(standard)) {}

    const T& get() const { return current_; }
    void install(T replacement) { current_ = std::move(replacement); }
    void restore() { current_ = standard_; }

private:
    T standard_;
    T current_;
};

} // namespace SonivarACQ32::platform
