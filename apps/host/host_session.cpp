#include "apps/host/host_session.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "apps/host/atomic_file.h"
#include "apps/host/cli_error.h"
#include "platform/host/scene_file.h"

namespace glitter::hostcli {
namespace {

std::string utf8(const host::MCHAR* text) { return host::WStr(text).toUtf8(); }

std::string nameOf(host::MtlBase* m) { return m->GetName().toUtf8(); }

}  // namespace

HostSession::HostSession(const std::string& pluginPath) : library_(pluginPath) {
    for (host::ClassDesc* cd : library_.classes()) {
        if (!classes_.Add(cd)) {
            throw CliError("plug-in library '" + pluginPath + "': class " + utf8(cd->ClassName()) +
                           " has a class id another class already uses");
        }
    }
}

host::ClassDesc* HostSession::libraryClassOf(host::Animatable* object) const {
    if (object == nullptr) return nullptr;
    for (host::ClassDesc* cd : library_.classes()) {
        if (cd->SuperClassID() == object->SuperClassID() && cd->ClassID() == object->ClassID()) {
            return cd;
        }
    }
    return nullptr;
}

host::Mtl* HostSession::createMaterial(const std::string& className) {
    std::vector<host::ClassDesc*> matches;
    for (host::ClassDesc* cd : library_.classes()) {
        if (cd->SuperClassID() != host::MATERIAL_CLASS_ID) continue;
        if (className.empty()
                ? cd->IsPublic() != 0
                : (utf8(cd->ClassName()) == className || utf8(cd->InternalName()) == className)) {
            matches.push_back(cd);
        }
    }
    if (matches.empty()) {
        throw CliError(className.empty() ? "plug-in library '" + library_.path() +
                                               "' has no public material class"
                                         : "plug-in library '" + library_.path() +
                                               "' has no material class '" + className + "'");
    }
    if (matches.size() > 1) {
        throw CliError("plug-in library '" + library_.path() +
                       "' has several material classes: choose one with --class");
    }
    host::ClassDesc* cd = matches.front();
    host::ReferenceTarget* object = cd->Create(false);
    if (object == nullptr) throw CliError("class " + utf8(cd->ClassName()) + " created no object");
    // A descriptor that hands out another class's object would make every later cast a lie.
    if (object->SuperClassID() != host::MATERIAL_CLASS_ID ||
        !(object->ClassID() == cd->ClassID())) {
        object->DeleteThis();
        throw CliError("class " + utf8(cd->ClassName()) + " created an object of another class");
    }
    auto* mtl = static_cast<host::Mtl*>(object);
    scene_.AddMaterial(mtl);
    return mtl;
}

void HostSession::loadScene(const std::string& path) {
    std::string error;
    if (host::LoadSceneFile(path, classes_, scene_, error) != host::IO_OK) {
        throw CliError("cannot load scene '" + path + "': " + error);
    }
}

void HostSession::saveScene(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (host::SaveScene(scene_, bytes, error) != host::IO_OK) {
        throw CliError("cannot save scene '" + path + "': " + error);
    }
    writeFileAtomically(path, bytes);
}

host::Mtl* HostSession::findMaterial(const std::string& selector) {
    std::vector<host::Mtl*> candidates;
    host::Mtl* chosen = nullptr;
    int number = 0;
    const char* end = selector.data() + selector.size();
    const auto [ptr, ec] = std::from_chars(selector.data(), end, number);
    const bool byNumber = !selector.empty() && ec == std::errc() && ptr == end;
    if (byNumber && (number < 1 || number > scene_.NumMaterials())) {
        throw CliError("the scene has no material number " + selector + " (it holds " +
                       std::to_string(scene_.NumMaterials()) + ")");
    }
    for (int i = 0; i < scene_.NumMaterials(); ++i) {
        host::MtlBase* m = scene_.GetMaterial(i);
        const bool ours =
            m->SuperClassID() == host::MATERIAL_CLASS_ID && libraryClassOf(m) != nullptr;
        if (byNumber && i + 1 == number) {
            if (!ours)
                throw CliError("material " + selector +
                               " of the scene is not of a class of the plug-in library");
            chosen = static_cast<host::Mtl*>(m);
        }
        if (ours && (selector.empty() || nameOf(m) == selector))
            candidates.push_back(static_cast<host::Mtl*>(m));
    }
    if (chosen != nullptr) return chosen;
    if (candidates.empty()) {
        throw CliError(selector.empty()
                           ? "the scene holds no material of the plug-in library"
                           : "the scene holds no material of the plug-in library named '" +
                                 selector + "'");
    }
    if (candidates.size() > 1) {
        throw CliError("the scene holds " + std::to_string(candidates.size()) +
                       " materials of the plug-in library" +
                       (selector.empty() ? "" : " named '" + selector + "'") +
                       ": choose one with --material NUMBER");
    }
    return candidates.front();
}

}  // namespace glitter::hostcli
