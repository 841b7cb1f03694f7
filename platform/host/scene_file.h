// Saving and loading a Scene in the stored-scene format (docs/scene-format.md): every object
// reachable from the scene's materials is stored once with its class id, its references (as
// indices into the object table) and its own chunks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/host/class_directory.h"
#include "platform/host/scene.h"

namespace host {

/// Limits a stored scene must keep; a file beyond them is refused.
inline constexpr std::uint32_t kMaxSceneObjects = 65536;
inline constexpr std::uint32_t kMaxObjectRefs = 4096;
/// A file larger than this is refused before it is read. A material with 100000 keys on each
/// of its animatable parameters takes some 12 MiB; no scene the host writes comes near.
inline constexpr std::uintmax_t kMaxSceneFileBytes = std::uintmax_t{64} << 20;

/// Writes `scene` into `bytes`. IO_ERROR (with `error` set) when an object cannot be saved or
/// the references form a cycle.
IOResult SaveScene(Scene& scene, std::vector<std::uint8_t>& bytes, std::string& error);

/// Reads a stored scene and, only if the whole file is sound, replaces the contents of `scene`
/// with it. Classes are created through `classes`. A truncated, corrupt or hostile file gives
/// IO_ERROR with a message in `error`; `scene` is then unchanged and nothing is left behind.
IOResult LoadScene(std::span<const std::uint8_t> bytes, const ClassDirectory& classes, Scene& scene,
                   std::string& error);

IOResult SaveSceneFile(Scene& scene, const std::filesystem::path& path, std::string& error);
IOResult LoadSceneFile(const std::filesystem::path& path, const ClassDirectory& classes,
                       Scene& scene, std::string& error);

}  // namespace host
