// sonivar-dat: inspect, verify and export the recordings of the acquisition
// program from the command line.
#include "cli.h"
#include "progress.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return sonivar_dat::run_cli(args, std::cout, std::cerr, sonivar_dat::progress_terminal());
}
