#pragma once
// sonivar-dat's commands run in-process, their output kept for the test.
#include "cli.h"
#include "recording_maker.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct Outcome {
    int code;
    std::string out, err;
};

inline Outcome run(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = sonivar_dat::run_cli(args, out, err, nullptr);
    return {code, out.str(), err.str()};
}

// A table-driven test whose every row works in a fresh folder of its own.
template <typename Row>
class InFreshFolder : public testing::TestWithParam<Row> {
protected:
    TempDir dir;
};

} // namespace testsupport
