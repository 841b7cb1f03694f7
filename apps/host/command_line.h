// The command line of glitter-host: a subcommand, the plug-in library, and the options the
// subcommand takes, checked here so the commands themselves see only well-formed requests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/host/interval.h"

namespace glitter::hostcli {

enum class Command { none, classes, show, create, edit, rollouts };

/// One parameter change, in command-line order.
struct ParamEdit {
    enum class Kind {
        set,    ///< --set NAME=VALUE: the value at the command's --time (a key there if NAME has
                ///< keys)
        key,    ///< --key NAME@TIME=VALUE: a key at TIME
        unkey,  ///< --unkey NAME: remove the keys, keeping the value at the command's --time
    };
    Kind kind = Kind::set;
    std::string name;
    host::TimeValue time = 0;  ///< keys only
    std::string value;         ///< set and key only
};

struct CommandLine {
    Command command = Command::none;
    /// --help, -h or `help [COMMAND]`: print the help of `command` (or the overview) and stop.
    bool showHelp = false;
    /// The plug-in library; empty: the one built beside the program.
    std::string pluginPath;
    std::string scenePath;            ///< --scene
    std::string outPath;              ///< --out
    std::optional<std::string> name;  ///< --name: the material's new name
    std::string className;     ///< --class: which class of the library (empty: its only material)
    std::string material;      ///< --material: which material of the scene (empty: its only one)
    host::TimeValue time = 0;  ///< --time
    std::vector<std::string> params;  ///< --param: the parameters `show` lists (empty: all)
    std::vector<ParamEdit> edits;
};

/// Parses the arguments after the program name; throws UsageError with a one-line reason.
CommandLine parseCommandLine(const std::vector<std::string>& args);

/// The help of `command`, or the overview for Command::none.
std::string helpText(Command command);

/// The name of `command` as typed.
const char* commandName(Command command);

}  // namespace glitter::hostcli
