// The built plug-in library, loaded with dlopen as a host program loads it (this program links no
// plug-in code, so everything here crosses the library boundary), and its dynamic symbol table.
#include <dlfcn.h>

#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "platform/host/class_desc2.h"
#include "platform/host/imaterial_browser_entry_info.h"
#include "platform/host/mtl.h"
#include "platform/host/plugin_library_abi.h"
#include "platform/renderer/kuvo_render_mtl.h"
#include "platform/renderer_host/kuvo_shade_context.h"
#include "tests/support/program_run.h"
#include "tests/support/recording_shading.h"

namespace glitter {
namespace {

using namespace host;

constexpr const char* kLibraryPath = GLITTER_PLUGIN_DLT;
constexpr char16_t kModuleName[] = u"kuvostochasticflakesmtl2015.dlt";

struct Library {
    void* handle = dlopen(kLibraryPath, RTLD_NOW | RTLD_LOCAL);
    template <class Fn>
    Fn entry(const char* name) const {
        return handle != nullptr ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
    }
    LibDescriptionFn description = entry<LibDescriptionFn>(kLibDescriptionSymbol);
    LibNumberClassesFn numberClasses = entry<LibNumberClassesFn>(kLibNumberClassesSymbol);
    LibClassDescFn classDesc = entry<LibClassDescFn>(kLibClassDescSymbol);
    LibVersionFn version = entry<LibVersionFn>(kLibVersionSymbol);
    ~Library() { if (handle != nullptr) dlclose(handle); }
    bool complete() const { return description && numberClasses && classDesc && version; }
};

class PluginLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib.complete()) << dlerror();
        cd = lib.classDesc(0);
        ASSERT_NE(cd, nullptr);
    }
    Library lib;
    ClassDesc* cd = nullptr;
};

// The entry points, and the resources registered in this program's module list, not in a copy
// of its own in the library. (The host program's tests read description, version and icons.)
TEST_F(PluginLibrary, EntryPointsAndResources) {
    EXPECT_EQ(lib.numberClasses(), 1);
    for (int index : {1, -1}) EXPECT_EQ(lib.classDesc(index), nullptr) << index;
    EXPECT_EQ(std::u16string_view(cd->ClassName()), u"KuvoStochasticFlakesMtl");
    EXPECT_EQ(cd->ClassID(), Class_ID(0x6113692d, 0x4e1d1282));
    EXPECT_EQ(cd->SuperClassID(), MATERIAL_CLASS_ID);
    EXPECT_NE(dynamic_cast<ClassDesc2*>(cd), nullptr) << "a ClassDesc2 for this program too";

    const HINSTANCE module = GetModuleHandleW(kModuleName);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(cd->HInstance(), module);
    EXPECT_EQ(MaxSDK::GetResourceStringAsMSTR(module, 6), u"Basic parameters");
    auto* entry = dynamic_cast<IMaterialBrowserEntryInfo*>(cd->GetInterface(IMATERIAL_BROWSER_ENTRY_INFO_INTERFACE));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::u16string_view(entry->GetEntryCategory()), u"Materials\\Kuvo");
    auto sme = std::make_unique<Module>(u"sme.gup");
    sme->AddString(432, u"Materiales");
    const HINSTANCE smeHandle = RegisterModule(std::move(sme));
    EXPECT_EQ(std::u16string_view(entry->GetEntryCategory()), u"Materiales\\Kuvo") << "sees this program's modules";
    UnregisterModule(smeHandle);
}

// The renderer's shade context, made by this program's copy of the renderer host plug-in, is
// recognised inside the library (the programs' tests cross it with scenes, keys and renders).
TEST_F(PluginLibrary, TheShadeHandOverCrossesTheBoundary) {
    auto* m = dynamic_cast<Mtl*>(cd->Create(false));
    ASSERT_NE(m, nullptr);
    auto* face = static_cast<KuvoUtils::KuvoRenderMtl*>(m->GetInterface(ULONG(KuvoUtils::KuvoRenderMtl::kInterfaceId)));
    ASSERT_NE(face, nullptr);
    test::RecordingShading shading;
    KuvoUtils::KuvoShadeContext ksc(shading);
    m->SetGBufID(5);
    m->Shade(ksc);
    EXPECT_EQ(std::pair(shading.last, shading.lastGbuf), std::pair(face, 5));
    m->DeleteThis();
}

// Unloading takes the module out of the list; reloading puts it back, initialising common controls.
TEST(PluginLibraryLoad, UnloadAndReload) {
    ASSERT_EQ(GetModuleHandleW(kModuleName), nullptr);
    const int inits = CommonControlsInitCount();
    for (int round = 0; round < 2; ++round) {
        auto lib = std::make_unique<Library>();
        ASSERT_TRUE(lib->complete());
        EXPECT_NE(GetModuleHandleW(kModuleName), nullptr);
        EXPECT_EQ(CommonControlsInitCount(), inits + round + 1);
        lib->classDesc(0)->Create(false)->DeleteThis();
        lib.reset();
        EXPECT_EQ(GetModuleHandleW(kModuleName), nullptr) << "round " << round;
    }
}

// The library defines the four entry points only; what it leaves undefined comes from the host
// layer (resolved against the program) or the runtimes (versioned, or interceptors' plain C names).
TEST(PluginLibraryExports, OnlyTheFourEntryPointsAndUndefinedSymbolsFromTheHostOrRuntimes) {
    const auto nm = glitter::testing::runProgram(GLITTER_NM, {"-DC", kLibraryPath});
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::istringstream lines(nm.out);
    std::set<std::string> defined;
    std::string line;
    int hostSymbols = 0;
    while (std::getline(lines, line)) {
        // "ADDRESS TYPE NAME", the address blank for an undefined symbol.
        const std::size_t start = line.find_first_not_of(' ', line.find(' '));
        if (start == std::string::npos) continue;
        const std::string name = line.substr(start + 2);
        if (line[0] != ' ') {
            defined.insert(name);
            continue;
        }
        const bool plainC = name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == std::string::npos;
        if (line[start] == 'w' || line[start] == 'v' || name.find('@') != std::string::npos || plainC) continue;
        const auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
        const bool fromHost = starts("host::") || starts("MaxSDK::") || starts("typeinfo for host::") ||
                              starts("vtable for host::");
        hostSymbols += fromHost ? 1 : 0;
        EXPECT_TRUE(fromHost || starts("operator new") || starts("operator delete")) << "unexpected undefined symbol: " << name;
    }
    EXPECT_EQ(defined, (std::set<std::string>{"LibClassDesc", "LibDescription", "LibNumberClasses", "LibVersion"}));
    EXPECT_GT(hostSymbols, 20) << "the host layer is resolved against the program, not linked in";
}

}  // namespace
}  // namespace glitter
