// PrintJob: the class and its members as scripts see them. The player has no printer
// dialog, so a job never starts and its page sizes stay 0.

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {
namespace lib {
namespace {

Value printJobConstructor(Vm&, const CallInfo& c) {
    return c.construct ? c.thisValue : Value();
}

Value printJobRefused(Vm&, const CallInfo&) {
    return Value::boolean(false);
}

Value printJobNothing(Vm&, const CallInfo&) {
    return Value();
}

Value printJobNoSize(Vm&, const CallInfo&) {
    return Value(0.0);
}

}  // namespace

void installPrintJob(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(vm, "PrintJob", printJobConstructor, proto);
    vm.defineNative(proto, "start", printJobRefused);
    vm.defineNative(proto, "addPage", printJobRefused);
    vm.defineNative(proto, "send", printJobNothing);
    // Read-only, listed by for-in (newest first: orientation ... paperHeight).
    for (const char* name :
         {"paperHeight", "paperWidth", "pageHeight", "pageWidth", "orientation"}) {
        vm.defineAccessor(proto, name, printJobNoSize, nullptr, 0);
    }
}

}  // namespace lib
}  // namespace zd::avm1
