// The ActionScript interpreter: simple actions per second, property access on plain objects and
// on movie clips of a real display tree, and the peak memory of a script that makes and drops
// millions of objects.
//
//   build/bench/Avm1Bench --benchmark_filter=SimpleActions

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

#include "TraceHost.h"
#include "engine/avm1/Vm.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

namespace {

using zd::swfwriter::ActionWriter;
using zd::swfwriter::Reg;
namespace op = zd::swfwriter::op;

// r1 = 0; do { r1 = r1 + 1; } while (r1 < n): 7 actions per turn.
zd::avm1::CodeOwner countingLoop(int n) {
    ActionWriter a;
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    a.bind(top).push({Reg{1}, 1}).act(op::Add2).storeRegister(1).act(op::Pop);
    a.push({Reg{1}, n}).act(op::Less2).ifTrue(top);
    return std::make_shared<const zd::avm1::Bytes>(a.bytes());
}

// o = {x: 0}; r1 = 0; do { o.x = o.x + 1; r1++; } while (r1 < n)
zd::avm1::CodeOwner propertyLoop(int n) {
    ActionWriter a;
    a.constantPool({"o", "x"});
    a.push({zd::swfwriter::Const{0}, zd::swfwriter::Const{1}, 0, 1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    a.bind(top).push({zd::swfwriter::Const{0}}).act(op::GetVariable).storeRegister(2);
    a.push({zd::swfwriter::Const{1}}).push({Reg{2}, zd::swfwriter::Const{1}}).act(op::GetMember);
    a.push({1}).act(op::Add2).act(op::SetMember);
    a.push({Reg{1}}).act(op::Increment).storeRegister(1).act(op::Pop);
    a.push({Reg{1}, n}).act(op::Less2).ifTrue(top);
    return std::make_shared<const zd::avm1::Bytes>(a.bytes());
}

// r1 = 0; do { o = {}; o.self = o; r1++; } while (r1 < n)
zd::avm1::CodeOwner allocationLoop(int n) {
    ActionWriter a;
    a.constantPool({"o", "self"});
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    a.bind(top).push({zd::swfwriter::Const{0}, 0}).act(op::InitObject).act(op::SetVariable);
    a.push({zd::swfwriter::Const{0}}).act(op::GetVariable).storeRegister(2);
    a.push({zd::swfwriter::Const{1}, Reg{2}}).act(op::SetMember);
    a.push({Reg{1}}).act(op::Increment).storeRegister(1).act(op::Pop);
    a.push({Reg{1}, n}).act(op::Less2).ifTrue(top);
    return std::make_shared<const zd::avm1::Bytes>(a.bytes());
}

// r1 = 0; do { mc._x = mc._x + 1; mc._alpha = r1; r1++; } while (r1 < n)
zd::avm1::CodeOwner clipPropertyLoop(int n) {
    ActionWriter a;
    a.constantPool({"mc", "_x", "_alpha"});
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    a.bind(top).push({zd::swfwriter::Const{0}}).act(op::GetVariable).storeRegister(2);
    a.push({zd::swfwriter::Const{1}}).push({Reg{2}, zd::swfwriter::Const{1}}).act(op::GetMember);
    a.push({1}).act(op::Add2).act(op::SetMember);
    a.push({Reg{2}, zd::swfwriter::Const{2}, Reg{1}}).act(op::SetMember);
    a.push({Reg{1}}).act(op::Increment).storeRegister(1).act(op::Pop);
    a.push({Reg{1}, n}).act(op::Less2).ifTrue(top);
    return std::make_shared<const zd::avm1::Bytes>(a.bytes());
}

// A movie whose root holds an empty clip named mc.
std::unique_ptr<zd::engine::MovieData> movieWithClip() {
    namespace w = zd::swfwriter;
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    w::Timeline sprite;
    sprite.showFrame();
    const auto id = m.defineSprite(sprite);
    auto place = w::PlaceObject::place(1, id);
    place.name = "mc";
    m.placeObject2(place);
    m.showFrame();
    return zd::engine::MovieData::fromBytes(m.finish());
}

struct Player {
    zd::avm1trace::ScriptedMovie movie = zd::avm1trace::movieOf(8, {});
    zd::avm1trace::TraceHost host{movie};
    zd::avm1::Vm vm{host, 8};
    Player() { host.attachVm(&vm); }
};

void runLoop(benchmark::State& state, const zd::avm1::CodeOwner& code) {
    Player p;
    std::uint64_t actions = 0;
    for (auto _ : state) {
        const std::uint64_t before = p.vm.actionsRun();
        p.vm.runActions(code, zd::avm1trace::TraceHost::kRoot);
        actions += p.vm.actionsRun() - before;
    }
    state.counters["actions/s"] =
        benchmark::Counter(static_cast<double>(actions), benchmark::Counter::kIsRate);
}

void SimpleActions(benchmark::State& state) {
    runLoop(state, countingLoop(10'000'000 / 7));
}
BENCHMARK(SimpleActions)->Unit(benchmark::kMillisecond)->Iterations(3);

void PlainObjectProperties(benchmark::State& state) {
    runLoop(state, propertyLoop(1'000'000));
}
BENCHMARK(PlainObjectProperties)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reads and writes of _x and _alpha on a clip of the player's display tree.
void ClipProperties(benchmark::State& state) {
    const auto movie = movieWithClip();
    zd::engine::StagePlayer stage(*movie);
    zd::script::ScriptHost scripts(stage, *movie);
    stage.settle();
    const auto code = clipPropertyLoop(200'000);
    std::uint64_t accesses = 0;
    for (auto _ : state) {
        scripts.vm().runActions(code, stage.root().id());
        accesses += 3 * 200'000;
    }
    state.counters["accesses/s"] =
        benchmark::Counter(static_cast<double>(accesses), benchmark::Counter::kIsRate);
}
BENCHMARK(ClipProperties)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ten million objects (each in a cycle with itself) made and dropped by one script.
void TenMillionObjects(benchmark::State& state) {
    for (auto _ : state) {
        Player p;
        p.vm.runActions(allocationLoop(10'000'000), zd::avm1trace::TraceHost::kRoot);
        benchmark::DoNotOptimize(p.vm.liveCells());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(TenMillionObjects)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
