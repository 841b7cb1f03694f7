#include "apps/host/command_line.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "apps/host/cli_error.h"

namespace glitter::hostcli {
namespace {

struct CommandInfo {
    Command command;
    const char* name;
    const char* help;
};

constexpr const char kPluginHelp[] =
    "  PLUGIN             the plug-in library (default: beside this program, or this build's)\n";
constexpr const char kEditHelp[] =
    "  --set NAME=VALUE   set a parameter at --time (on a parameter with keys: the key there)\n"
    "  --key NAME@T=VALUE set a key at time T (animatable parameters only)\n"
    "  --unkey NAME       remove NAME's keys, keeping its value at --time\n"
    "  --time T           the time of --set and --unkey, and of the values shown (default 0)\n";

const std::array<CommandInfo, 5> kCommands{{
    {Command::classes, "classes",
     "Usage: glitter-host classes [PLUGIN]\n"
     "Lists the library's classes: name, class id, super class, category, whether users may\n"
     "create it, its material browser category and icons, and the renderers it works with.\n"},
    {Command::show, "show",
     "Usage: glitter-host show [PLUGIN] [--scene FILE | --class NAME] [--material M] [--time T]\n"
     "                         [--param NAME]...\n"
     "                         [--set NAME=VALUE]... [--key NAME@T=VALUE]... [--unkey NAME]...\n"
     "Shows every parameter of a material with its value at time T, its range, the span of\n"
     "time over which the value holds, and its keys. Without --scene: a new material.\n"
     "Edits are shown, never saved.\n"
     "  --scene FILE       a stored scene holding the material\n"
     "  --material M       the scene's material named M, or its number (1 = first) in the scene\n"
     "  --class NAME       without --scene: the library class to create\n"
     "  --param NAME       show only this parameter (repeatable)\n"},
    {Command::create, "new",
     "Usage: glitter-host new [PLUGIN] --out FILE [--name N] [--class NAME] [--time T]\n"
     "                        [--set NAME=VALUE]... [--key NAME@T=VALUE]... [--unkey NAME]...\n"
     "Creates a material through the class descriptor, applies the edits in order and saves a\n"
     "stored scene holding it. Nothing is written if anything fails.\n"
     "  --out FILE         the scene file to write (replaced if it exists)\n"
     "  --name N           the material's name (default: the class name)\n"
     "  --class NAME       the library class to create (default: its only material class)\n"},
    {Command::edit, "edit",
     "Usage: glitter-host edit [PLUGIN] --scene FILE [--out FILE] [--material M] [--name N]\n"
     "                         [--time T] [--set NAME=VALUE]... [--key NAME@T=VALUE]...\n"
     "                         [--unkey NAME]...\n"
     "Loads a stored scene, edits one material and saves the whole scene again. Nothing is\n"
     "written if anything fails.\n"
     "  --scene FILE       the scene to edit\n"
     "  --out FILE         where to save (default: replace FILE of --scene)\n"
     "  --material M       the scene's material named M, or its number (1 = first) in the scene\n"
     "  --name N           rename the material\n"},
    {Command::rollouts, "rollouts",
     "Usage: glitter-host rollouts [PLUGIN] [--scene FILE | --class NAME] [--material M]\n"
     "                             [--time T]\n"
     "                             [--set NAME=VALUE]... [--key NAME@T=VALUE]... [--unkey "
     "NAME]...\n"
     "Opens the material's parameter dialog in the headless editor and prints each rollout\n"
     "(open or closed) with its controls, their control ids and whether they are enabled.\n"
     "Edits are made with the dialog open, as in the editor, and never saved.\n"
     "  --scene FILE       a stored scene holding the material (default: a new material)\n"
     "  --material M       the scene's material named M, or its number (1 = first) in the scene\n"
     "  --class NAME       without --scene: the library class to create\n"},
}};

constexpr const char kOverview[] =
    "Usage: glitter-host COMMAND [PLUGIN] [OPTIONS]\n"
    "The host stand-in: loads a material plug-in library and inspects or edits its materials.\n"
    "\n"
    "Commands:\n"
    "  classes    list the library's classes, browser entries and renderer compatibility\n"
    "  show       show a material's parameters with values, ranges, validity and keys\n"
    "  new        create a material and save it in a stored scene\n"
    "  edit       change a material in a stored scene\n"
    "  rollouts   show the material editor's rollouts and which controls are enabled\n"
    "  help       this text, or `help COMMAND`\n"
    "\n"
    "PLUGIN is the plug-in library (default: beside this program, or this build's).\n"
    "Run `glitter-host COMMAND --help` for a command's options.\n"
    "Exit status: 0 done, 1 refused (bad plug-in, parameter, value or file), 2 bad usage.\n";

const CommandInfo* findCommand(const std::string& name) {
    for (const CommandInfo& info : kCommands) {
        if (name == info.name) return &info;
    }
    return nullptr;
}

host::TimeValue parseTime(const std::string& text, const std::string& what) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw UsageError(what + " needs a time in ticks (a whole number), not '" + text + "'");
    }
    // The extremes are the host's infinities, not times a value can be set at; a stored scene
    // is held to the same rule, so whatever `show` prints types back.
    if (!host::IsOnTimeLine(value)) {
        throw UsageError(what + " time " + text + " is outside the host's time line (" +
                         std::to_string(host::kFirstTime) + " to " +
                         std::to_string(host::kLastTime) + ")");
    }
    return static_cast<host::TimeValue>(value);
}

// NAME=VALUE, or NAME@TIME=VALUE for keys.
ParamEdit parseEdit(ParamEdit::Kind kind, const std::string& text, const std::string& option) {
    ParamEdit edit;
    edit.kind = kind;
    if (kind == ParamEdit::Kind::unkey) {
        if (text.empty() || text.find_first_of("=@") != std::string::npos) {
            throw UsageError(option + " needs a parameter name, not '" + text + "'");
        }
        edit.name = text;
        return edit;
    }
    const std::size_t equals = text.find('=');
    const char* form = kind == ParamEdit::Kind::set ? "NAME=VALUE" : "NAME@TIME=VALUE";
    if (equals == std::string::npos) {
        throw UsageError(option + " needs " + form + ", not '" + text + "'");
    }
    edit.name = text.substr(0, equals);
    edit.value = text.substr(equals + 1);
    if (kind == ParamEdit::Kind::key) {
        const std::size_t at = edit.name.rfind('@');
        if (at == std::string::npos) {
            throw UsageError(option + " needs " + form + ", not '" + text + "'");
        }
        edit.time = parseTime(edit.name.substr(at + 1), option);
        edit.name.resize(at);
    }
    if (edit.name.empty()) throw UsageError(option + " '" + text + "' names no parameter");
    return edit;
}

// Which options each command takes.
struct Allowed {
    bool scene, out, name, className, material, time, edits, params;
};

Allowed allowedFor(Command c) {
    switch (c) {
        case Command::classes:
            return {false, false, false, false, false, false, false, false};
        case Command::show:
            return {true, false, false, true, true, true, true, true};
        case Command::create:
            return {false, true, true, true, false, true, true, false};
        case Command::edit:
            return {true, true, true, false, true, true, true, false};
        case Command::rollouts:
            return {true, false, false, true, true, true, true, false};
        case Command::none:
            break;
    }
    return {};
}

void checkCombination(const CommandLine& cl) {
    const std::string command = commandName(cl.command);
    if (cl.command == Command::create && cl.outPath.empty()) {
        throw UsageError("new needs --out FILE");
    }
    if (cl.command == Command::edit && cl.scenePath.empty()) {
        throw UsageError("edit needs --scene FILE");
    }
    if (!cl.className.empty() && !cl.scenePath.empty()) {
        throw UsageError(
            command + ": --class chooses the class of a new material; with --scene use --material");
    }
    if (!cl.material.empty() && cl.scenePath.empty()) {
        throw UsageError(command + ": --material chooses a material of --scene");
    }
}

}  // namespace

const char* commandName(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command) return info.name;
    }
    return "glitter-host";
}

std::string helpText(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command) {
            std::string text = info.help;
            if (command != Command::classes) text += kEditHelp;
            return text + kPluginHelp;
        }
    }
    return kOverview;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    if (args.empty()) throw UsageError("no command given");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        cl.showHelp = true;
        return cl;
    }
    if (first == "help") {
        cl.showHelp = true;
        if (args.size() > 2) throw UsageError("help takes at most one command");
        if (args.size() == 2) {
            const CommandInfo* info = findCommand(args[1]);
            if (info == nullptr) throw UsageError("unknown command '" + args[1] + "'");
            cl.command = info->command;
        }
        return cl;
    }
    const CommandInfo* info = findCommand(first);
    if (info == nullptr) {
        throw UsageError(first.starts_with("-") ? "the command comes first, before '" + first + "'"
                                                : "unknown command '" + first + "'");
    }
    cl.command = info->command;
    const Allowed allowed = allowedFor(cl.command);
    bool pluginGiven = false;

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            cl.showHelp = true;
            return cl;
        }
        if (!arg.starts_with("-") || arg == "-") {
            if (pluginGiven)
                throw UsageError("unexpected argument '" + arg + "': PLUGIN is already '" +
                                 cl.pluginPath + "'");
            cl.pluginPath = arg;
            pluginGiven = true;
            continue;
        }
        // --option VALUE or --option=VALUE; every option takes a value.
        std::string option = arg;
        std::string value;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            option = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw UsageError(option + " needs a value");
        }
        bool ok = false;
        auto take = [&](bool allowedHere, std::string& field) {
            ok = allowedHere;
            if (!ok) return;
            if (value.empty()) throw UsageError(option + " needs a value");
            field = value;
        };
        if (option == "--scene") {
            take(allowed.scene, cl.scenePath);
        } else if (option == "--out") {
            take(allowed.out, cl.outPath);
        } else if (option == "--class") {
            take(allowed.className, cl.className);
        } else if (option == "--material") {
            take(allowed.material, cl.material);
        } else if (option == "--plugin") {
            if (pluginGiven) throw UsageError("the plug-in library is given twice");
            take(true, cl.pluginPath);
            pluginGiven = true;
        } else if (option == "--name") {
            ok = allowed.name;
            if (ok) cl.name = value;
        } else if (option == "--time") {
            ok = allowed.time;
            if (ok) cl.time = parseTime(value, option);
        } else if (option == "--param") {
            ok = allowed.params;
            if (ok) {
                if (value.empty()) throw UsageError(option + " needs a value");
                cl.params.push_back(value);
            }
        } else if (option == "--set" || option == "--key" || option == "--unkey") {
            ok = allowed.edits;
            if (ok) {
                const ParamEdit::Kind kind = option == "--set"   ? ParamEdit::Kind::set
                                             : option == "--key" ? ParamEdit::Kind::key
                                                                 : ParamEdit::Kind::unkey;
                cl.edits.push_back(parseEdit(kind, value, option));
            }
        } else {
            throw UsageError("unknown option '" + option + "'");
        }
        if (!ok) {
            throw UsageError(std::string(commandName(cl.command)) + " does not take " + option);
        }
    }
    checkCombination(cl);
    return cl;
}

}  // namespace glitter::hostcli
