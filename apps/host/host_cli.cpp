#include "apps/host/host_cli.h"

#include <exception>

#include "apps/host/class_report.h"
#include "apps/host/cli_error.h"
#include "apps/host/command_line.h"
#include "apps/host/host_session.h"
#include "apps/host/param_editor.h"
#include "apps/host/param_report.h"
#include "apps/host/rollout_report.h"

namespace glitter::hostcli {
namespace {

constexpr char kProgram[] = "glitter-host";

std::string pluginPathFor(const CommandLine& cl) {
    if (!cl.pluginPath.empty()) return cl.pluginPath;
    std::string path = pluginloader::defaultPluginPath();
    if (path.empty()) {
        throw CliError(
            "no plug-in library given, and none was built beside this program: name one (PLUGIN)");
    }
    return path;
}

// The material a command works on: the scene's (loaded), or a new one.
host::Mtl& subjectOf(HostSession& session, const CommandLine& cl) {
    if (!cl.scenePath.empty()) {
        session.loadScene(cl.scenePath);
        return *session.findMaterial(cl.material);
    }
    // A new material is named after its class until told otherwise.
    host::Mtl& material = *session.createMaterial(cl.className);
    host::MSTR className;
    material.GetClassName(className);
    material.SetName(className);
    return material;
}

ParamEditor editorFor(HostSession& session, host::Mtl& material) {
    return ParamEditor(material, *session.libraryClassOf(&material));
}

void applyEdits(ParamEditor& editor, const CommandLine& cl) {
    for (const ParamEdit& edit : cl.edits) editor.apply(edit, cl.time);
}

void rename(host::Mtl& material, const CommandLine& cl) {
    if (!cl.name) return;
    material.SetName(host::WStr::fromUtf8(*cl.name));
}

int run(const CommandLine& cl, std::ostream& out) {
    HostSession session(pluginPathFor(cl));
    switch (cl.command) {
        case Command::classes:
            printClasses(session.library(), out);
            break;
        case Command::show: {
            host::Mtl& material = subjectOf(session, cl);
            ParamEditor editor = editorFor(session, material);
            applyEdits(editor, cl);
            printParams(material, editor, cl.time, cl.params, out);
            break;
        }
        case Command::create: {
            host::Mtl& material = subjectOf(session, cl);
            rename(material, cl);
            ParamEditor editor = editorFor(session, material);
            applyEdits(editor, cl);
            session.saveScene(cl.outPath);
            out << "Saved " << materialTitle(material) << " to " << cl.outPath << '\n';
            break;
        }
        case Command::edit: {
            host::Mtl& material = subjectOf(session, cl);
            rename(material, cl);
            ParamEditor editor = editorFor(session, material);
            applyEdits(editor, cl);
            const std::string& target = cl.outPath.empty() ? cl.scenePath : cl.outPath;
            session.saveScene(target);
            out << "Saved " << materialTitle(material) << " to " << target << '\n';
            break;
        }
        case Command::rollouts: {
            host::Mtl& material = subjectOf(session, cl);
            ParamEditor editor = editorFor(session, material);
            printRollouts(material, editor, cl.edits, cl.time, out);
            break;
        }
        case Command::none:
            break;
    }
    return 0;
}

}  // namespace

int runHostCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandLine cl;
    try {
        cl = parseCommandLine(args);
    } catch (const UsageError& e) {
        err << kProgram << ": " << e.what() << "\nTry '" << kProgram << " --help'.\n";
        return kExitUsage;
    }
    if (cl.showHelp) {
        out << helpText(cl.command);
        return 0;
    }
    try {
        return run(cl, out);
    } catch (const std::exception& e) {
        err << kProgram << ": " << e.what() << '\n';
        return kExitFailure;
    }
}

}  // namespace glitter::hostcli
