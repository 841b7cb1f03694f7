// Broken plug-in libraries for glitter-host's loading checks, one per build of this file: built
// for another host version, without LibClassDesc, or claiming a class it does not hand out.
namespace host {
class ClassDesc;
}

extern "C" {

__attribute__((visibility("default"))) const char16_t* LibDescription() { return u"stub library"; }

__attribute__((visibility("default"))) int LibNumberClasses() { return STUB_CLASS_COUNT; }

#ifndef STUB_OMIT_CLASS_DESC
__attribute__((visibility("default"))) host::ClassDesc* LibClassDesc(int) { return nullptr; }
#endif

__attribute__((visibility("default"))) unsigned LibVersion() { return STUB_VERSION; }

}  // extern "C"
