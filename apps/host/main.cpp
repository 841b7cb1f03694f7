// glitter-host: the host stand-in's command line. Loads a material plug-in library and lists,
// creates, shows and edits its materials in stored scenes.
#include <iostream>
#include <string>
#include <vector>

#include "apps/host/host_cli.h"

int main(int argc, char** argv) {
    return glitter::hostcli::runHostCli(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                        std::cerr);
}
