// Prototype chains: constructors, extends, super, instanceof, implements and cast, property
// attributes, getters and setters, watchers, __resolve, enumeration.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

// function Base(n) { this.n = n; } Base.prototype.hello = function () { return "base " + this.n; };
void defineBase(ActionWriter& a) {
    ActionWriter ctor;
    ctor.push({"this"}).act(op::GetVariable).push({"n"}).getVariable("n").act(op::SetMember);
    a.defineFunction("Base", {"n"}, ctor);
    ActionWriter hello;
    hello.push({"base "}).push({"this"}).act(op::GetVariable).push({"n"}).act(op::GetMember);
    hello.act(op::Add2).act(op::Return);
    a.getVariable("Base").push({"prototype"}).act(op::GetMember).push({"hello"});
    a.defineFunction("", {}, hello).act(op::SetMember);
}

TEST(Prototypes, NewLinksTheInstanceToTheConstructorsPrototype) {
    ActionWriter a;
    defineBase(a);
    a.push({"b", 7, 1, "Base"}).act(op::NewObject).act(op::SetVariable);
    a.push({0}).getVariable("b").push({"hello"}).act(op::CallMethod).act(op::Trace);
    a.getVariable("b").push({"__proto__"}).act(op::GetMember);
    a.getVariable("Base").push({"prototype"}).act(op::GetMember).act(op::StrictEquals);
    a.act(op::Trace);
    a.getVariable("b").getVariable("Base").act(op::InstanceOf).act(op::Trace);
    a.getVariable("b").getVariable("Array").act(op::InstanceOf).act(op::Trace);
    // Only movies up to SWF 6 give instances their own constructor property.
    a.push({"constructor", 1}).getVariable("b").push({"hasOwnProperty"});
    a.act(op::CallMethod).act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "base 7\ntrue\ntrue\nfalse\ntrue\n");
    EXPECT_EQ(traceOf(7, a), "base 7\ntrue\ntrue\nfalse\nfalse\n");
}

TEST(Prototypes, ExtendsAndSuperCallTheBaseClass) {
    // class Derived extends Base { function Derived() { super(5); }
    //   function hello() { return "derived, " + super.hello(); } }
    ActionWriter a;
    defineBase(a);
    ActionWriter ctor;
    ctor.push({5, 1, "super"}).act(op::CallFunction).act(op::Pop);
    a.defineFunction2("Derived", 2, 0, {}, ctor);
    a.getVariable("Derived").getVariable("Base").act(op::Extends);
    ActionWriter hello;
    hello.push({"derived, ", 0}).getVariable("super").push({"hello"}).act(op::CallMethod);
    hello.act(op::Add2).act(op::Return);
    a.getVariable("Derived").push({"prototype"}).act(op::GetMember).push({"hello"});
    a.defineFunction2("", 2, 0, {}, hello).act(op::SetMember);
    a.push({"d", 0, "Derived"}).act(op::NewObject).act(op::SetVariable);
    a.push({0}).getVariable("d").push({"hello"}).act(op::CallMethod).act(op::Trace);
    a.getVariable("d").getVariable("Base").act(op::InstanceOf).act(op::Trace);
    // cast: the object when it is an instance, null otherwise.
    a.getVariable("Base").getVariable("d").act(op::CastOp).push({"n"}).act(op::GetMember);
    a.act(op::Trace);
    a.getVariable("Array").getVariable("d").act(op::CastOp).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "derived, base 5\ntrue\n5\nnull\n");
}

TEST(Prototypes, ImplementsMakesInstanceOfTrueForTheInterface) {
    ActionWriter a;
    a.defineFunction("I", {}, ActionWriter());
    a.defineFunction("C", {}, ActionWriter());
    a.getVariable("I").push({1}).getVariable("C").act(op::ImplementsOp);
    a.push({"c", 0, "C"}).act(op::NewObject).act(op::SetVariable);
    a.getVariable("c").getVariable("I").act(op::InstanceOf).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "true\n");
}

TEST(Prototypes, SelfReferencingPrototypeChainsEndLookups) {
    // o.__proto__ = o: reading a missing property does not hang; as the reference does, the
    // script stops there (nothing after the read runs).
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"__proto__"}).getVariable("o").act(op::SetMember);
    a.getVariable("o").push({"missing"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").getVariable("Object").act(op::InstanceOf).act(op::Trace);
    a.getVariable("o").act(op::Enumerate2);
    a.push({Null{}}).act(op::Equals2).act(op::Trace);  // nothing enumerable
    EXPECT_EQ(traceOf(7, a), "");
}

TEST(Properties, AddPropertyCallsGetterAndSetterWithThis) {
    // o.addProperty("v", function () { return this.raw * 2; },
    //                    function (x) { this.raw = x; });
    ActionWriter getter;
    getter.push({"this"}).act(op::GetVariable).push({"raw"}).act(op::GetMember);
    getter.push({2}).act(op::Multiply).act(op::Return);
    ActionWriter setter;
    setter.push({"this"}).act(op::GetVariable).push({"raw"}).getVariable("x").act(op::SetMember);
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.defineFunction("", {"x"}, setter).defineFunction("", {}, getter).push({"v", 3});
    a.getVariable("o").push({"addProperty"}).act(op::CallMethod).act(op::Trace);
    a.getVariable("o").push({"v", 21}).act(op::SetMember);
    a.getVariable("o").push({"v"}).act(op::GetMember).act(op::Trace);
    // An inherited accessor works on instances too.
    a.push({"p", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("p").push({"__proto__"}).getVariable("o").act(op::SetMember);
    a.getVariable("p").push({"v", 5}).act(op::SetMember);
    a.getVariable("p").push({"raw"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").push({"raw"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "true\n42\n5\n21\n");
}

TEST(Properties, WatchSeesOldAndNewValueAndDecidesWhatIsStored) {
    // o.watch("x", function (prop, old, nv, data) { trace(prop+":"+old+"->"+nv+" "+data);
    //   return nv + 1; });
    ActionWriter cb;
    cb.getVariable("prop").push({":"}).act(op::Add2).getVariable("old").act(op::Add2);
    cb.push({"->"}).act(op::Add2).getVariable("nv").act(op::Add2);
    cb.push({" "}).act(op::Add2).getVariable("data").act(op::Add2).act(op::Trace);
    cb.getVariable("nv").push({1}).act(op::Add2).act(op::Return);
    ActionWriter a;
    a.push({"o", "x", 1, 1}).act(op::InitObject).act(op::SetVariable);
    a.push({"tag"}).defineFunction("", {"prop", "old", "nv", "data"}, cb).push({"x", 3});
    a.getVariable("o").push({"watch"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("o").push({"x", 10}).act(op::SetMember);
    a.getVariable("o").push({"x"}).act(op::GetMember).act(op::Trace);
    a.push({"x", 1}).getVariable("o").push({"unwatch"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("o").push({"x", 10}).act(op::SetMember);
    a.getVariable("o").push({"x"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "x:1->10 tag\n11\n10\n");
}

TEST(Properties, ResolveAnswersMissingProperties) {
    ActionWriter resolver;
    resolver.push({"resolved "}).getVariable("name").act(op::Add2).act(op::Return);
    ActionWriter a;
    a.push({"o", "here", 1, 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"__resolve"}).defineFunction("", {"name"}, resolver);
    a.act(op::SetMember);
    a.getVariable("o").push({"here"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").push({"gone"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "1\nresolved gone\n");
}

TEST(Properties, ASSetPropFlagsHidesProtectsAndLocks) {
    // o = {a:1, b:2, c:3}; ASSetPropFlags(o, "a", 1); ASSetPropFlags(o, ["b"], 2);
    // ASSetPropFlags(o, "c", 4); then enumerate, delete b, write c.
    ActionWriter a;
    a.push({"o", "a", 1, "b", 2, "c", 3, 3}).act(op::InitObject).act(op::SetVariable);
    a.push({1, "a"}).getVariable("o").push({3, "ASSetPropFlags"}).act(op::CallFunction);
    a.act(op::Pop);
    a.push({2, "b", 1}).act(op::InitArray).getVariable("o").push({3, "ASSetPropFlags"});
    a.act(op::CallFunction).act(op::Pop);
    a.push({4, "c"}).getVariable("o").push({3, "ASSetPropFlags"}).act(op::CallFunction);
    a.act(op::Pop);
    // for (k in o) trace(k)
    ActionWriter::Label loop = a.newLabel();
    ActionWriter::Label done = a.newLabel();
    a.getVariable("o").act(op::Enumerate2);
    a.bind(loop).storeRegister(0).push({Null{}}).act(op::Equals2).ifTrue(done);
    a.push({Reg{0}}).act(op::Trace).jump(loop);
    a.bind(done);
    a.getVariable("o").push({"b"}).act(op::Delete).act(op::Trace);
    a.getVariable("o").push({"c", 99}).act(op::SetMember);
    a.getVariable("o").push({"c"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").push({"a"}).act(op::GetMember).act(op::Trace);
    // Object literals make their members last first, so for-in lists them in source order.
    EXPECT_EQ(traceOf(7, a), "b\nc\nfalse\n3\n1\n");
}

TEST(Properties, VersionFlagsHideValuesFromOlderMoviesUntilWritten) {
    // o = {p: "v"}; ASSetPropFlags(o, "p", 0x2000);  -- visible from SWF 9 on
    ActionWriter a;
    a.push({"o", "p", "v", 1}).act(op::InitObject).act(op::SetVariable);
    a.push({0x2000, "p"}).getVariable("o").push({3, "ASSetPropFlags"}).act(op::CallFunction);
    a.act(op::Pop);
    a.getVariable("o").push({"p"}).act(op::GetMember).act(op::Trace);
    a.push({"p", 1}).getVariable("o").push({"hasOwnProperty"}).act(op::CallMethod).act(op::Trace);
    a.getVariable("o").push({"p", "new"}).act(op::SetMember);
    a.getVariable("o").push({"p"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "undefined\ntrue\nnew\n");
    EXPECT_EQ(traceOf(9, a), "v\ntrue\nnew\n");
}

TEST(Properties, EnumerationListsNewestFirstThenInherited) {
    // p = {inherited: 1}; o = {}; o.__proto__ = p; o.first = 1; o.second = 2;
    ActionWriter a;
    a.push({"p", "inherited", 1, 1}).act(op::InitObject).act(op::SetVariable);
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"__proto__"}).getVariable("p").act(op::SetMember);
    a.getVariable("o").push({"first", 1}).act(op::SetMember);
    a.getVariable("o").push({"second", 2}).act(op::SetMember);
    ActionWriter::Label loop = a.newLabel();
    ActionWriter::Label done = a.newLabel();
    a.push({"o"}).act(op::Enumerate);
    a.bind(loop).storeRegister(0).push({Null{}}).act(op::Equals2).ifTrue(done);
    a.push({Reg{0}}).act(op::Trace).jump(loop);
    a.bind(done);
    EXPECT_EQ(traceOf(7, a), "inherited\nsecond\nfirst\n");
}

}  // namespace
}  // namespace zd::avm1test
