// Operators and core objects: deleting through paths, instanceof and cast, and the globals
// the player leaves behind.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(DeletePaths, APathThroughAPrimitiveDeletesNothingAndSaysSo) {
    // o = {t: T}; trace(delete "o.t.y") for a string, a number, a boolean, then null.
    std::string expected;
    ActionWriter a;
    const std::vector<std::pair<swfwriter::PushItem, bool>> rows = {
        {"s", true},
        {2, true},
        {true, true},
        {swfwriter::Null{}, false},
    };
    for (const auto& [t, noticed] : rows) {
        a.push({"o", "t", t, 1}).act(op::InitObject).act(op::SetVariable);
        a.push({"o.t.y"}).act(op::Delete2).act(op::Trace);
        if (noticed) {
            expected +=
                "Parameters of primitive types are no longer coerced into the required "
                "type - Object.\n";
        }
        expected += "false\n";
    }
    EXPECT_EQ(traceOf(8, a), expected);
}

TEST(Globals, OIsNullUntilAMovieSetsIt) {
    ActionWriter a;
    a.getVariable("o").act(op::Trace);
    a.push({"o", 1}).act(op::SetVariable);
    a.getVariable("o").act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "null\n1\n");
}

TEST(InstanceOf, APrimitiveClassIsMadeAnObjectByTheCurrentGlobalString) {
    // _global.String = function (s) { trace("made " + s) }; trace({} instanceof "x");
    // trace("x" instanceof Object): a primitive value is no instance and makes nothing.
    ActionWriter made;
    made.push({"made "}).getVariable("s").act(op::Add2).act(op::Trace);
    ActionWriter a;
    a.getVariable("_global").push({"String"}).defineFunction("", {"s"}, made);
    a.act(op::SetMember);
    a.push({0}).act(op::InitObject).push({"x"}).act(op::InstanceOf).act(op::Trace);
    a.push({"x"}).getVariable("Object").act(op::InstanceOf).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "made x\nfalse\nfalse\n");
}

TEST(InstanceOf, ReadsTheStoredPrototypeWithoutItsGetter) {
    // C = function () {}; o = new C(); C.addProperty("prototype", getter tracing "got", null):
    // instanceof still sees the value stored before, and never calls the getter.
    ActionWriter getter;
    getter.trace("got").push({1}).act(op::Return);
    ActionWriter nothing;
    ActionWriter a;
    a.push({"C"}).defineFunction("", {}, nothing).act(op::SetVariable);
    a.push({"o", 0, "C"}).act(op::NewObject).act(op::SetVariable);
    a.push({swfwriter::Null{}}).defineFunction("", {}, getter).push({"prototype", 3});
    a.getVariable("C").push({"addProperty"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("o").getVariable("C").act(op::InstanceOf).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "true\n");
}

TEST(Implements, KeepsTheFirstListAndTheInterfacesPrototypesOfThatMoment) {
    // I, J, C functions; C implements (nothing), then I, then J; o = new C().
    ActionWriter nothing;
    ActionWriter a;
    for (const char* name : {"I", "J", "C"}) {
        a.push({name}).defineFunction("", {}, nothing).act(op::SetVariable);
    }
    auto implement = [&](std::vector<const char*> interfaces) {
        for (const char* i : interfaces) {
            a.getVariable(i);
        }
        a.push({static_cast<int>(interfaces.size())}).getVariable("C").act(op::ImplementsOp);
    };
    implement({});
    implement({"I"});
    implement({"J"});
    a.push({"o", 0, "C"}).act(op::NewObject).act(op::SetVariable);
    a.getVariable("o").getVariable("I").act(op::InstanceOf).act(op::Trace);
    a.getVariable("o").getVariable("J").act(op::InstanceOf).act(op::Trace);
    // A fake class holding I's prototype counts as I.
    a.getVariable("o").push({"prototype"}).getVariable("I").push({"prototype"});
    a.act(op::GetMember).push({1}).act(op::InitObject).act(op::InstanceOf).act(op::Trace);
    // I's prototype replaced later is not the one C implements.
    a.getVariable("I").push({"prototype", 0}).act(op::InitObject).act(op::SetMember);
    a.getVariable("o").getVariable("I").act(op::InstanceOf).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "true\nfalse\ntrue\nfalse\n");
}

TEST(NativeSubclasses, AFilterHasNoFieldsBeforeSuperAndIsMadeOnlyOnce) {
    // T = function () { super(10); super(20); }; U = function () {}; both extend BlurFilter.
    ActionWriter twice;
    for (int x : {10, 20}) {
        twice.push({x, 1}).getVariable("super").push({swfwriter::Undefined{}});
        twice.act(op::CallMethod).act(op::Pop);
    }
    ActionWriter nothing;
    ActionWriter a;
    a.push({"T"}).defineFunction("", {}, twice).act(op::SetVariable);
    a.push({"U"}).defineFunction("", {}, nothing).act(op::SetVariable);
    for (const char* name : {"T", "U"}) {
        a.getVariable(name).getVariable("flash").push({"filters"}).act(op::GetMember);
        a.push({"BlurFilter"}).act(op::GetMember).act(op::Extends);
        a.push({0, name}).act(op::NewObject).push({"blurX"}).act(op::GetMember).act(op::Trace);
    }
    EXPECT_EQ(traceOf(8, a), "10\nundefined\n");
}

TEST(Swf4Operands, ATargetObjectIsNamedByItsTextAfterTheOperandsAboveIt) {
    // o = {toString: function () { trace("target"); return "nowhere" }};
    // i = {valueOf: function () { trace("index"); return 0 }}; getProperty(o, i).
    ActionWriter target;
    target.trace("target").push({"nowhere"}).act(op::Return);
    ActionWriter index;
    index.trace("index").push({0}).act(op::Return);
    ActionWriter a;
    a.push({"o", "toString"}).defineFunction("", {}, target).push({1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.push({"i", "valueOf"}).defineFunction("", {}, index).push({1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.getVariable("o").getVariable("i").act(op::GetProperty).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "index\ntarget\nundefined\n");
}

}  // namespace
}  // namespace zd::avm1test
