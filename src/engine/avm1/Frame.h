#pragma once

#include <cstddef>
#include <vector>

#include "engine/avm1/Object.h"
#include "engine/avm1/Value.h"

namespace zd::avm1 {

// One running action block or function call. Frames live on the C++ stack and are linked
// through the Vm, which traces them as roots.
struct Frame {
    Frame* caller = nullptr;
    CodeOwner code;
    Scope* scope = nullptr;
    Value thisValue;
    Value target;          // the clip object SetTarget points at now
    Value originalTarget;  // the clip the block started on
    FunctionObject* callee = nullptr;
    Object* activation = nullptr;  // locals of a function; null at the top level
    Object* home = nullptr;        // the prototype the running method was found on
    Value argumentsObject;
    ConstantPool* pool = nullptr;
    std::vector<Value> registers;
    std::vector<Value> pinned;  // values in flight (an exception while finally runs)
    std::size_t stackBase = 0;
    int version = 0;
    int blockDepth = 0;  // nested with/try bodies
    Value returnValue;

    void trace(Tracer& t) {
        t.mark(scope);
        t.mark(thisValue);
        t.mark(target);
        t.mark(originalTarget);
        t.markObject(callee);
        t.markObject(activation);
        t.markObject(home);
        t.mark(argumentsObject);
        t.mark(pool);
        t.mark(returnValue);
        for (auto& v : registers) {
            t.mark(v);
        }
        for (auto& v : pinned) {
            t.mark(v);
        }
    }
};

}  // namespace zd::avm1
