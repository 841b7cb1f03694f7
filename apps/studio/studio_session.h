// The material being edited: the plug-in library loaded through the host layer, one material in
// its scene, and its parameter dialog kept open in the headless editor, so that the plug-in's own
// dialog procedure decides which controls are enabled. Everything the page shows about the
// parameters (labels, ranges, steps, tooltips, rollouts) is read from the library here.
#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "apps/host/host_session.h"
#include "apps/host/param_editor.h"

namespace glitter::studio {

class StudioSession {
  public:
    /// Loads the library and creates a new material as a preview scene starts it. `root` is the
    /// only folder whose files open and save may touch.
    StudioSession(const std::string& pluginPath, const std::filesystem::path& root);
    ~StudioSession();
    StudioSession(const StudioSession&) = delete;
    StudioSession& operator=(const StudioSession&) = delete;

    /// The browser entry and the rollouts with every control, in the dialog's order.
    nlohmann::json describe();
    /// Each parameter's value (in the host's text syntax) and whether its control is enabled,
    /// and a revision number that grows with every change.
    nlohmann::json state();
    /// The browser icon `which` (0 inactive, 1 active, 2 disabled) as PNG bytes.
    std::string iconPng(int which);

    /// Sets one parameter from its text, refused (StudioError 400, nothing changed) when the
    /// name is unknown or the value is not of its type or out of its range.
    void set(const std::string& name, const std::string& value);
    /// Every parameter back to its default, then the preview scene's starting values.
    void reset();
    /// Replaces the material with the one in stored scene `relative` (under the root).
    void open(const std::string& relative);
    /// Saves the material's scene to `relative` (under the root).
    void save(const std::string& relative);
    /// Writes the material's scene to `path` (anywhere: the preview's private copy).
    void snapshot(const std::string& path);

    unsigned revision() const { return revision_; }
    /// `relative` resolved under the root: refused (403) when it leaves the root, by ".." or
    /// through a symbolic link, and (404) when `mustExist` and it is no file.
    std::filesystem::path resolve(const std::string& relative, bool mustExist) const;

  private:
    class OpenDialog;
    void attach(host::Mtl* material);
    void detach();

    std::filesystem::path root_;
    hostcli::HostSession session_;
    host::ClassDesc* classDesc_ = nullptr;
    host::Mtl* material_ = nullptr;
    std::unique_ptr<hostcli::ParamEditor> editor_;
    std::unique_ptr<OpenDialog> dialog_;
    unsigned revision_ = 0;
};

}  // namespace glitter::studio
