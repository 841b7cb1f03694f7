// A class descriptor for tests that need one to own a block description or stand for another
// class (a renderer, a plain ClassDesc): it creates nothing, or what `create` makes.
#pragma once

#include <functional>

#include "platform/host/class_desc2.h"

namespace host::testing {

template <class Base = ClassDesc2>
class StubClassDesc : public Base {
public:
    explicit StubClassDesc(Class_ID id, SClass_ID super = MATERIAL_CLASS_ID,
                           std::function<ReferenceTarget*(StubClassDesc&)> create = {})
        : id_(id), super_(super), create_(std::move(create)) {}
    int IsPublic() override { return 0; }
    ReferenceTarget* Create(bool) override { return create_ ? create_(*this) : nullptr; }
    const MCHAR* ClassName() override { return u"Stub"; }
    SClass_ID SuperClassID() override { return super_; }
    Class_ID ClassID() override { return id_; }
    const MCHAR* Category() override { return u""; }

private:
    Class_ID id_;
    SClass_ID super_;
    std::function<ReferenceTarget*(StubClassDesc&)> create_;
};

}  // namespace host::testing
