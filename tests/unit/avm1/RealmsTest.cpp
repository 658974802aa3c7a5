// Movies of several versions in one player: each group of versions has its own _global and
// built-ins, a function keeps its movie's version, and ASSetNative binds table entries.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

using avm1::Value;

class Realms : public LibraryFixture {
  protected:
    // Runs the script on the root with the given version in force.
    void runAs(int version, const ActionWriter& a) {
        const int saved = vm().swfVersion();
        vm().setSwfVersion(version);
        vm().runActions(std::make_shared<const avm1::Bytes>(a.bytes()),
                        avm1trace::TraceHost::kRoot);
        vm().setSwfVersion(saved);
    }
};

TEST_F(Realms, VersionsUpToSixShareBuiltInsApartFromThoseFromSevenOn) {
    avm1::Vm& v = vm();  // SWF 8
    avm1::Object* g8 = v.global();
    avm1::Object* object8 = v.protos().object;
    v.setSwfVersion(6);
    avm1::Object* g6 = v.global();
    EXPECT_NE(g6, g8);
    EXPECT_NE(v.protos().object, object8);
    const Value made6(v.newObject());
    v.setSwfVersion(5);
    EXPECT_EQ(v.global(), g6);
    v.setSwfVersion(7);
    EXPECT_EQ(v.global(), g8);
    EXPECT_EQ(v.protos().object, object8);
    EXPECT_FALSE(v.instanceOf(made6, global("Object").asObject()));
    EXPECT_EQ(v.globalFor(6), g6);
    EXPECT_EQ(v.globals().size(), 2u);
}

TEST_F(Realms, TheRealmNotRunningSurvivesACollection) {
    avm1::Vm& v = vm();
    v.setSwfVersion(6);
    v.set(Value(v.global()), "kept", str("six"));
    v.setSwfVersion(8);
    v.collectGarbage();
    v.setSwfVersion(6);
    EXPECT_EQ(text(v.get(Value(v.global()), "kept")), "six");
    EXPECT_TRUE(v.get(Value(v.global()), "Object").isObject());
}

TEST_F(Realms, AFunctionRunsWithTheVersionOfItsMovie) {
    // _global.f6 = function () { return _global; } defined by a SWF 6 movie.
    ActionWriter body;
    body.push({"_global"}).act(op::GetVariable).act(op::Return);
    ActionWriter define;
    define.push({"_global"}).act(op::GetVariable).push({"f6"});
    define.defineFunction("", {}, body).act(op::SetMember);
    runAs(6, define);
    avm1::Object* g6 = vm().globalFor(6);
    const Value f6 = vm().get(Value(g6), "f6");
    ASSERT_TRUE(f6.isObject());
    const Value got = vm().call(f6, Value(), {});
    EXPECT_EQ(got.asObject(), g6);
    EXPECT_EQ(vm().swfVersion(), 8);
    EXPECT_NE(vm().global(), g6);
}

TEST_F(Realms, ASSetNativeNamesTakeVersionPrefixesAndEmptyNamesTakeNumbers) {
    const Value o(vm().newObject());
    vm().set(o, "keep", Value(1.0));
    // Math's table: 0 abs, 1 min, 2 max, 3 sin. "8late" is hidden from SWF 7; "1keep"
    // overwrites the value of the property already there and leaves its flags.
    call(Value(vm().global()), "ASSetNative", {o, Value(200.0), str("abs,,max,8late,1keep")});
    EXPECT_EQ(vm().get(o, "abs").asObject(), vm().get(global("Math"), "abs").asObject());
    EXPECT_EQ(vm().get(o, "max").asObject(), vm().get(global("Math"), "max").asObject());
    EXPECT_TRUE(vm().get(o, "keep").isObject());
    vm().setSwfVersion(7);
    EXPECT_TRUE(vm().get(o, "late").isUndefined());
    vm().setSwfVersion(8);
    EXPECT_TRUE(vm().get(o, "late").isObject());
}

TEST_F(Realms, APropertyHiddenFromTheVersionLetsThePrototypeAnswer) {
    avm1::Object* base = vm().newObject();
    vm().set(Value(base), "late", str("base"));
    avm1::Object* o = vm().newObject(base);
    call(Value(vm().global()), "ASSetNative", {Value(o), Value(200.0), str("9late")});
    vm().setSwfVersion(7);
    EXPECT_EQ(text(vm().get(Value(o), "late")), "base");
    vm().setSwfVersion(8);
    EXPECT_EQ(text(vm().get(Value(o), "late")), "base");
    vm().setSwfVersion(9);
    EXPECT_TRUE(vm().get(Value(o), "late").isObject());
}

TEST_F(Realms, ASSetNativeAccessorBindsAGetterAndASetterPerName) {
    // ConvolutionFilter's alpha is entries 17 (read) and 18 (write) of its table.
    const Value filters = vm().get(global("flash"), "filters");
    const Value f = vm().construct(vm().get(filters, "ConvolutionFilter"), {});
    call(Value(vm().global()), "ASSetNativeAccessor",
         {f, Value(1109.0), str(",other"), Value(15.0)});
    vm().set(f, "other", Value(0.25));
    EXPECT_NEAR(vm().toNumber(vm().get(f, "alpha")), 0.25, 0.01);
}

}  // namespace
}  // namespace zd::avm1test
