#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TraceHost.h"
#include "engine/avm1/Vm.h"
#include "swfwriter/ActionWriter.h"

namespace zd::avm1test {

using swfwriter::ActionWriter;
using swfwriter::Const;
using swfwriter::Null;
using swfwriter::Reg;
using swfwriter::Undefined;
namespace op = swfwriter::op;

// A movie of frame scripts run on the stand-in player, its trace lines collected.
class ScriptRun {
  public:
    explicit ScriptRun(int version, std::vector<swfwriter::ActionBytes> frames,
                       avm1::Limits limits = {})
        : movie_(avm1trace::movieOf(version, frames)), host_(movie_), vm_(host_, version, limits) {
        host_.attachVm(&vm_);
    }
    ScriptRun(int version, const ActionWriter& script, avm1::Limits limits = {})
        : ScriptRun(version, std::vector<swfwriter::ActionBytes>{script.bytes()}, limits) {}

    // Runs n frames; returns all lines traced so far, each followed by a newline.
    std::string frames(int n = 1) {
        for (int i = 0; i < n; ++i) {
            host_.stepFrame();
            host_.clock += 40;
        }
        return output();
    }
    std::string output() const {
        std::string out;
        for (const auto& l : host_.lines) {
            out += l;
            out += '\n';
        }
        return out;
    }
    avm1trace::TraceHost& host() { return host_; }
    avm1::Vm& vm() { return vm_; }

  private:
    avm1trace::ScriptedMovie movie_;
    avm1trace::TraceHost host_;
    avm1::Vm vm_;
};

// Runs one script on a movie of the given version and returns what it traced.
inline std::string traceOf(int version, const ActionWriter& script) {
    ScriptRun run(version, script);
    return run.frames(1);
}

// A fresh SWF 8 interpreter and the helpers tests use to drive its library from C++.
class LibraryFixture : public ::testing::Test {
  protected:
    LibraryFixture() : run_(8, ActionWriter()) {}

    avm1::Vm& vm() { return run_.vm(); }
    avm1::Value global(const char* name) { return vm().get(avm1::Value(vm().global()), name); }
    avm1::Value str(const char* s) { return avm1::Value(vm().str(std::string_view(s))); }
    avm1::Value call(const avm1::Value& self, const char* method,
                     std::vector<avm1::Value> args = {}) {
        return vm().call(vm().get(self, method), self, args);
    }
    avm1::Value construct(const char* cls, std::vector<avm1::Value> args = {}) {
        return vm().construct(global(cls), args);
    }
    std::string text(const avm1::Value& v) { return vm().toStdString(v); }

    ScriptRun run_;
};

}  // namespace zd::avm1test
