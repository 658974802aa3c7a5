#include "FuzzActions.h"

#include "TraceHost.h"
#include "engine/avm1/Vm.h"

namespace zd::fuzz {

ActionsRun runActions(std::span<const std::uint8_t> data) {
    if (data.empty()) {
        return {};
    }
    const int version = 3 + data[0] % 8;
    const avm1::Bytes code(data.begin() + 1, data.end());
    const avm1trace::ScriptedMovie movie = avm1trace::movieOf(version, {code, code});
    avm1trace::TraceHost host(movie);
    host.maxLines = 1000;
    avm1::Limits limits;
    limits.timeout = std::chrono::milliseconds(100);
    limits.maxRecursion = 100;
    avm1::Vm vm(host, version, limits);
    host.attachVm(&vm);
    host.stepFrame();
    host.clock += 40;
    host.stepFrame();
    for (int i = 0; i < 3; ++i) {
        host.clock += 1000;
        avm1::Vm::TickBudget tick(vm);
        vm.runTimers(host.clock);
    }
    vm.collectGarbage();
    return {host.traceCount, host.errors.size()};
}

}  // namespace zd::fuzz
