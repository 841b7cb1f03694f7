// The classes the host can create, by super class and class id: how a stored scene turns the
// class ids it names back into objects. The host's own classes (parameter blocks and the
// standard maps) are always present; plug-in libraries add their class descriptors.
#pragma once

#include <vector>

#include "platform/host/class_desc.h"

namespace host {

class ClassDirectory {
public:
    /// A directory holding the host's own classes.
    ClassDirectory();

    /// Adds a class; false (and nothing added) for null or a class id already present.
    bool Add(ClassDesc* cd);
    void Remove(ClassDesc* cd);
    /// The class with these ids, or null.
    ClassDesc* Find(SClass_ID superClassId, Class_ID classId) const;
    int Count() const { return static_cast<int>(classes_.size()); }
    ClassDesc* Get(int i) const;

private:
    std::vector<ClassDesc*> classes_;
};

}  // namespace host
