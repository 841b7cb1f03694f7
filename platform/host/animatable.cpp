#include "platform/host/animatable.h"

namespace host {

namespace {
ParamDimension defaultDimension;
}  // namespace

ParamDimension* defaultDim = &defaultDimension;

void Animatable::DeleteThis() { delete this; }
void Animatable::GetClassName(MSTR& s) { s = MSTR(); }
SClass_ID Animatable::SuperClassID() { return 0; }
Class_ID Animatable::ClassID() { return Class_ID(0, 0); }
void* Animatable::GetInterface(ULONG) { return nullptr; }
BaseInterface* Animatable::GetInterface(Interface_ID) { return nullptr; }
int Animatable::NumSubs() { return 0; }
Animatable* Animatable::SubAnim(int) { return nullptr; }
MSTR Animatable::SubAnimName(int) { return MSTR(); }
ParamDimension* Animatable::GetParamDimension(int) { return defaultDim; }
bool Animatable::IsSubClassOf(Class_ID classID) { return classID == ClassID(); }
int Animatable::NumParamBlocks() { return 0; }
IParamBlock2* Animatable::GetParamBlock(int) { return nullptr; }
IParamBlock2* Animatable::GetParamBlockByID(BlockID) { return nullptr; }

}  // namespace host
