#include "platform/host/param_arg.h"

namespace host {

const char* paramArgKindName(const ParamArg& arg) {
    switch (arg.index()) {
        case 0:
            return "an integer";
        case 1:
            return "a float";
        case 2:
            return "a double";
        case 3:
            return "a tag";
        case 4:
            return "a string";
        case 5:
            return "a colour";
        case 6:
            return "a class descriptor";
        case 7:
            return "a dialog procedure";
        default:
            return "a null pointer";
    }
}

}  // namespace host
